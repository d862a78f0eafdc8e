// SPDX-License-Identifier: MIT

#include "relay/Connection.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstdint>

namespace tessel::relay {

ReadStatus Connection::Receive(std::span<char> scratch, std::string_view& data) {
    if (!unread_.empty()) {
        data = unread_;
        return ReadStatus::Data;
    }
    while (true) {
        const ssize_t n = ::recv(fd_.get(), scratch.data(), scratch.size(), MSG_DONTWAIT);
        if (n > 0) {
            data = std::string_view(scratch.data(), static_cast<std::size_t>(n));
            return ReadStatus::Data;
        }
        if (n == 0) {
            return ReadStatus::Closed;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == ECONNRESET) {
            return ReadStatus::Closed;  // a client that closes with our messages unread
        }
        return errno == EAGAIN || errno == EWOULDBLOCK ? ReadStatus::Nothing : ReadStatus::Failed;
    }
}

void Connection::Keep(std::string_view rest) {
    std::string kept(rest);  // `rest` may point into unread_ itself
    unread_.swap(kept);
}

bool Connection::Enqueue(const WireMessage& message, Clock::time_point now) {
    if (!congested()) {
        progressAt_ = now;
    }
    if (output_.Push(message, number_)) {
        return true;
    }
    if (Flush(now) == WriteStatus::Failed) {
        return false;
    }
    return output_.Push(message, number_);
}

void Connection::EnqueueUserList(const WireMessage& list, Clock::time_point now) {
    if (!congested()) {
        progressAt_ = now;
    }
    output_.PushUserList(list, number_);
}

WriteStatus Connection::Flush(Clock::time_point now) {
    const std::uint64_t before = output_.written();
    const WriteStatus status = output_.WriteTo(fd_.get());
    if (output_.written() != before) {
        progressAt_ = now;
    }
    return status;
}

}  // namespace tessel::relay
