#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "relay/RelayLimits.h"

namespace tessel::relay {

enum class WriteStatus {
    Drained,  // everything was written
    Pending,  // the socket takes no more for now
    Failed,   // the socket is gone
};

// Bytes waiting to go out on one socket, never more than `limit` of them.
class OutputQueue {
  public:
    explicit OutputQueue(std::size_t limit = kMaxOutputBytes) : limit_(limit) {}

    // False, and nothing queued, when the bytes would take the queue past its limit.
    bool Push(std::string_view bytes);

    // Writes as much as the non-blocking socket takes.
    WriteStatus WriteTo(int fd);

    std::size_t size() const { return buffer_.size() - head_; }
    bool empty() const { return size() == 0; }
    std::size_t capacity() const { return buffer_.capacity(); }

  private:
    std::size_t limit_;
    std::string buffer_;
    std::size_t head_ = 0;  // bytes of buffer_ already written
};

}  // namespace tessel::relay
