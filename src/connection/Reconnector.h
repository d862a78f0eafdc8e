// SPDX-License-Identifier: MIT

#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "connection/ConnectionState.h"

namespace tessel {

// How long the reconnect attempts wait: doubling from `first` up to `longest`.
struct ReconnectDelays {
    std::chrono::milliseconds first{1000};
    std::chrono::milliseconds longest{60000};
};

// The waits between reconnect attempts. Each doubles the one before, up to the longest, and
// is spread by up to a fifth either way, so that a table of players dropped by one restart of
// the server does not knock on it again all in the same instant.
class ReconnectBackoff {
  public:
    ReconnectBackoff(ReconnectDelays delays, std::uint32_t seed);

    // The wait before the next attempt; counts the attempt.
    std::chrono::milliseconds Next();
    // The attempts counted since the last Reset.
    int Attempts() const { return attempts_; }
    void Reset() { attempts_ = 0; }

  private:
    ReconnectDelays delays_;
    std::mt19937 random_;
    int attempts_ = 0;
};

// The handle and channel a reconnect is to take back.
struct RestoredSession {
    std::string handle;  // Shift-JIS
    std::string channel;
};

// Rides out a connection the server or the network dropped: waits, connects again to the same
// host and port, and hands the handle and channel the user had back to the connection-up
// sequence. It runs on the connection thread, driven by the socket; only the switch and the
// hand-over of the names are touched from the front end's thread.
class Reconnector {
  public:
    using Clock = std::chrono::steady_clock;
    using Show = std::function<void(std::string)>;

    Reconnector(ReconnectDelays delays, std::uint32_t seed, Show show);

    // The user's option; off, a dropped connection stays dropped.
    void SetEnabled(bool on) { enabled_.store(on); }
    bool Enabled() const { return enabled_.load(); }

    // The connection dropped without the user asking. `handle` and `channel` are the names the
    // server had acknowledged. False when no reconnect follows.
    bool Dropped(const ConnectRequest& target, std::string_view handle, std::string_view channel,
                 Clock::time_point now);
    // An attempt failed to connect: the next one is planned.
    void AttemptFailed(Clock::time_point now);
    // An attempt connected: the names wait for the connection-up sequence.
    void AttemptConnected();
    // The server answered the handle's registration.
    void HandleAnswered(bool accepted);
    // Disconnect, a new connect or CLOSE: nothing more is tried. Says so when something was
    // waiting.
    void Stop();

    // When the next attempt is due; none when nothing waits.
    std::optional<Clock::time_point> Due() const { return due_; }
    // The attempt that is due at `now`, taken; none otherwise.
    std::optional<ConnectRequest> TakeDueAttempt(Clock::time_point now);
    // True between a due attempt being taken and its outcome.
    bool Attempting() const { return attempting_; }

    // Front end's side: the names the reconnect that just came up should register again,
    // taken once.
    std::optional<RestoredSession> TakeRestore();

  private:
    void Plan(Clock::time_point now);

    std::atomic<bool> enabled_{false};
    ReconnectBackoff backoff_;
    Show show_;
    ConnectRequest target_;
    RestoredSession names_;
    std::optional<Clock::time_point> due_;
    bool attempting_ = false;
    std::string awaitingHandle_;  // a restored handle the server has not answered yet
    mutable std::mutex restoreLock_;
    std::optional<RestoredSession> restore_;
};

}  // namespace tessel
