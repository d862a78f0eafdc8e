// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <chrono>
#include <optional>
#include <vector>

#include "relay/RelayLimits.h"

namespace tessel::relay {

using Clock = std::chrono::steady_clock;

// Keep-alive probes per client: a probe goes out, the client has `timeout` to answer it,
// and `interval` after the answer the next one goes out. A client that lets a probe go
// unanswered is silent and is dropped.
class ProbeSchedule {
  public:
    ProbeSchedule(std::chrono::milliseconds interval, std::chrono::milliseconds timeout)
        : interval_(interval), timeout_(timeout) {}

    // A probe has just been sent to a new client.
    void Start(int number, Clock::time_point now);
    void Stop(int number);

    // The client answered; false when no probe was waiting for an answer.
    bool Answer(int number, Clock::time_point now);

    struct Due {
        std::vector<int> probe;   // send a probe now (they count as sent)
        std::vector<int> silent;  // a probe went unanswered
    };
    Due Collect(Clock::time_point now);

    // The earliest moment Collect has something to do.
    std::optional<Clock::time_point> NextDeadline() const;

  private:
    struct Entry {
        bool active = false;
        bool waiting = false;    // a probe is out
        Clock::time_point at{};  // answer deadline while waiting, else the next probe
    };

    std::chrono::milliseconds interval_;
    std::chrono::milliseconds timeout_;
    std::array<Entry, kMaxClientNumber + 1> entries_{};
};

}  // namespace tessel::relay
