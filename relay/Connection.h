// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "relay/OutputQueue.h"
#include "relay/RelayLog.h"
#include "relay/Request.h"
#include "relay/RequestReader.h"
#include "relay/UniqueFd.h"

namespace tessel::relay {

enum class ReadStatus {
    Data,     // bytes to serve
    Nothing,  // the socket had nothing after all
    Closed,   // the peer closed its side
    Failed,   // the socket is gone
};

// One client's socket with its request framing, the input it has not served yet and its
// bounded output queue.
class Connection {
  public:
    using Clock = std::chrono::steady_clock;

    Connection(UniqueFd fd, std::string peer, Clock::time_point now)
        : fd_(std::move(fd)),
          peer_(std::move(peer)),
          progressAt_(now),
          refusalLog_(kRefusalLogBurst, kRefusalLogWindow) {}

    int fd() const { return fd_.get(); }
    bool open() const { return fd_.valid(); }
    const std::string& peer() const { return peer_; }
    int number() const { return number_; }
    void setNumber(int number) { number_ = number; }
    RequestReader& reader() { return reader_; }

    // The bytes to serve next: what was left unserved last time, or else one read from the
    // socket into `scratch`. `data` stays valid until the next call or Keep.
    ReadStatus Receive(std::span<char> scratch, std::string_view& data);
    // Keeps the unserved tail of the data Receive gave; the socket is not read again until
    // it has been served, so a client that sends faster than it is served is held back by
    // TCP instead of by our memory.
    void Keep(std::string_view rest);
    bool hasUnread() const { return !unread_.empty(); }

    // A request that has to wait (see kCongestedOutputBytes); nothing else from this client
    // is served before it.
    void Hold(Request request) { held_ = std::move(request); }
    bool held() const { return held_.has_value(); }
    std::optional<Request> TakeHeld() { return std::exchange(held_, std::nullopt); }

    // An OPEN waiting for the group of relays to answer whether its handle is free; this
    // client's input waits behind it. `serial` tells the answer for it from a stale one.
    void Await(Request request, std::uint64_t serial) {
        awaited_ = std::move(request);
        awaitSerial_ = serial;
    }
    bool awaiting() const { return awaited_.has_value(); }
    std::uint64_t awaitSerial() const { return awaitSerial_; }
    std::optional<Request> TakeAwaited() { return std::exchange(awaited_, std::nullopt); }

    // This client's copy of `message`. False when it does not fit even after writing what
    // the socket takes now: the client is not reading.
    bool Enqueue(const WireMessage& message, Clock::time_point now);
    // The user list, replacing one still waiting (see OutputQueue::PushUserList).
    void EnqueueUserList(const WireMessage& list, Clock::time_point now);
    WriteStatus Flush(Clock::time_point now);
    bool hasOutput() const { return !output_.empty(); }
    std::size_t queuedBytes() const { return output_.size(); }

    // Far behind with its output, and for how long it has taken nothing.
    bool congested() const { return queuedBytes() > kCongestedOutputBytes; }
    bool stalled(Clock::time_point now) const {
        return congested() && now - progressAt_ >= kStallTimeout;
    }

    LogRateLimit& refusalLog() { return refusalLog_; }

    // Closes the socket at once; the object stays until the loop sweeps it away.
    void Close() { fd_.reset(); }

  private:
    UniqueFd fd_;
    std::string peer_;
    int number_ = 0;
    RequestReader reader_;
    std::string unread_;
    std::optional<Request> held_;
    std::optional<Request> awaited_;
    std::uint64_t awaitSerial_ = 0;
    OutputQueue output_;
    // When the client last took output, or last had output queued while it was not behind.
    Clock::time_point progressAt_;
    LogRateLimit refusalLog_;
};

}  // namespace tessel::relay
