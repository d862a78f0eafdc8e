#include "relay/OutputQueue.h"

#include <sys/socket.h>

#include <cerrno>

namespace tessel::relay {
namespace {

// A queue that has emptied gives back memory above this, so a burst to one client does not
// keep a megabyte reserved for it.
constexpr std::size_t kKeptCapacity = 64 * 1024;

}  // namespace

bool OutputQueue::Push(std::string_view bytes) {
    if (bytes.size() > limit_ - size()) {
        return false;
    }
    if (head_ > 0 && head_ >= buffer_.size() / 2) {
        buffer_.erase(0, head_);
        head_ = 0;
    }
    buffer_.append(bytes);
    return true;
}

WriteStatus OutputQueue::WriteTo(int fd) {
    while (!empty()) {
        const ssize_t n = ::send(fd, buffer_.data() + head_, size(), MSG_NOSIGNAL | MSG_DONTWAIT);
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
