// SPDX-License-Identifier: MIT

#include "relay/OutputQueue.h"

#include <sys/socket.h>

#include <cerrno>

namespace tessel::relay {
namespace {

// A queue that has emptied gives back memory above this, so a burst to one client does not
// keep a megabyte reserved for it.
constexpr std::size_t kKeptCapacity = 64 * 1024;

}  // namespace

void OutputQueue::Compact() {
    if (head_ > 0 && head_ >= buffer_.size() / 2) {
        buffer_.erase(0, head_);
        listAt_ -= list_ != nullptr ? head_ : 0;
        head_ = 0;
    }
}

bool OutputQueue::Push(std::string_view bytes) {
    if (bytes.size() > limit_ - size()) {
        return false;
    }
    Compact();
    buffer_.append(bytes);
    return true;
}

bool OutputQueue::Push(const WireMessage& message, int number) {
    if (message.bytes.size() > limit_ - size()) {
        return false;
    }
    Compact();
    message.AppendFor(number, buffer_);
    return true;
}

void OutputQueue::PushUserList(const WireMessage& list, int number) {
    list_ = &list;
    listAt_ = buffer_.size();
    listNumber_ = number;
}

void OutputQueue::PlaceUserList() {
    std::string laidOut;
    list_->AppendFor(listNumber_, laidOut);
    buffer_.insert(listAt_, laidOut);
    list_ = nullptr;
}

WriteStatus OutputQueue::WriteTo(int fd) {
    while (true) {
        // Everything before the pending list goes first; the list is laid out only when the
        // socket has taken all of that, so a client that reads slowly never has more than
        // one list waiting, and that one is the latest.
        const std::size_t end = list_ != nullptr ? listAt_ : buffer_.size();
        while (head_ < end) {
            const ssize_t n =
                ::send(fd, buffer_.data() + head_, end - head_, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                if (errno == EAGAIN || errno == EWOULDBLOCK) {
                    return WriteStatus::Pending;
                }
                return WriteStatus::Failed;
            }
            head_ += static_cast<std::size_t>(n);
            written_ += static_cast<std::uint64_t>(n);
        }
        if (list_ == nullptr) {
            break;
        }
        PlaceUserList();
    }
    head_ = 0;
    if (buffer_.capacity() > kKeptCapacity) {
        std::string().swap(buffer_);
    } else {
        buffer_.clear();
    }
    return WriteStatus::Drained;
}

}  // namespace tessel::relay
