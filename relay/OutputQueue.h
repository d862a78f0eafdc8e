// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "relay/MessageWriter.h"
#include "relay/RelayLimits.h"

namespace tessel::relay {

enum class WriteStatus {
    Drained,  // everything was written
    Pending,  // the socket takes no more for now
    Failed,   // the socket is gone
};

// Bytes waiting to go out on one socket, never more than `limit` of them, and at most one
// user list that has not been laid out yet.
class OutputQueue {
  public:
    explicit OutputQueue(std::size_t limit = kMaxOutputBytes) : limit_(limit) {}

    // False, and nothing queued, when the bytes would take the queue past its limit.
    bool Push(std::string_view bytes);
    // The same for one recipient's copy of a shared message.
    bool Push(const WireMessage& message, int number);

    // Puts a user list for client `number` at the end of the queue. A list put here earlier
    // that has not gone out is dropped: the client sees the latest state, after everything
    // that came before it. `list` is read only when the writing reaches this place, so it must
    // stay alive until then, and whatever it holds by then is what goes out. Not counted
    // against the limit: there is never more than one, and a list is at most one body long.
    void PushUserList(const WireMessage& list, int number);

    // Writes as much as the non-blocking socket takes, in one send when it takes it all.
    WriteStatus WriteTo(int fd);

    std::size_t size() const { return buffer_.size() - head_; }
    bool empty() const { return size() == 0 && !userListPending(); }
    bool userListPending() const { return list_ != nullptr; }
    std::size_t capacity() const { return buffer_.capacity(); }
    // Bytes written to the socket so far.
    std::uint64_t written() const { return written_; }

  private:
    void Compact();
    void PlaceUserList();

    std::size_t limit_;
    std::string buffer_;
    std::size_t head_ = 0;  // bytes of buffer_ already written
    // Where the pending user list goes in buffer_, and whose copy it is.
    const WireMessage* list_ = nullptr;
    std::size_t listAt_ = 0;
    int listNumber_ = 0;
    std::uint64_t written_ = 0;
};

}  // namespace tessel::relay
