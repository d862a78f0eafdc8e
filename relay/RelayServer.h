// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "relay/Connection.h"
#include "relay/Listener.h"
#include "relay/RelayGroup.h"
#include "relay/RelayLog.h"
#include "relay/RelayOptions.h"
#include "relay/RequestHandler.h"

namespace tessel::relay {

// The relay's one event loop: the listener, the connections and the request handler, on
// non-blocking sockets under poll. Nothing here blocks except poll itself, so no client
// can hold up the others.
class RelayServer {
  public:
    RelayServer(const RelayConfig& config, LogSink log);
    ~RelayServer();
    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    // With a group of relays: whether Redis can be reached and this relay's name is free.
    // True without a group.
    bool CheckGroup(std::string& error);

    // Binds the listening socket; on failure `error` says why.
    bool Listen(std::string& error);
    // The port actually bound (the chosen one when the configuration asked for 0).
    std::uint16_t port() const;

    // Serves until `stopFd` becomes readable (a signalfd, a pipe, an eventfd). Returns 0
    // after a clean stop, 1 when polling itself failed.
    int Run(int stopFd);

  private:
    using Clock = std::chrono::steady_clock;

    int PollTimeout(Clock::time_point now) const;
    void AcceptAll(Clock::time_point now);
    void ServeInput(Connection& connection, Clock::time_point now);
    void Serve(Connection& connection, const Request& request, Clock::time_point now);
    // Serves `request`, unless it has to wait for a client that is behind with its output:
    // then it is held and the result is true. Clients that have stopped reading altogether
    // are dropped on the way.
    bool ServeOrHold(Connection& sender, const Request& request, Clock::time_point now);
    // Whether a member of the sender's channel, the sender included, is behind.
    bool ReachesCongestion(const Connection& sender) const;
    void Deliver(Output output, Clock::time_point now);
    // Closes a connection. `leave` tells the handler the client is gone (not needed when
    // the handler itself let it go, as after CLOSE); `flush` first writes what the socket
    // takes of its output.
    void Disconnect(Connection& connection, std::string_view reason, bool leave, bool flush,
                    Clock::time_point now);
    void FlushAll(Clock::time_point now);
    // An OPEN asks the group first whether its handle is free; true when it now waits.
    bool AwaitGroup(Connection& sender, const Request& request, Clock::time_point now);
    void GroupTurn(Clock::time_point now);
    void ServeGroupEvents(Clock::time_point now);
    void Sweep();
    void Log(std::string line) const;

    RelayConfig config_;
    LogSink log_;
    RequestHandler handler_;
    std::unique_ptr<RelayGroup> group_;  // none when serving alone
    std::uint64_t nextSerial_ = 0;
    std::optional<Listener> listener_;
    std::vector<std::unique_ptr<Connection>> connections_;
    std::array<Connection*, kMaxClientNumber + 1> byNumber_{};  // not owning
    // The latest user list sent around; queues lay it out when their turn to send it comes.
    WireMessage userList_;
    std::vector<char> scratch_;
    Clock::time_point acceptPausedUntil_{};
};

}  // namespace tessel::relay
