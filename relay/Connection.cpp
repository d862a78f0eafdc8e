#include "relay/Connection.h"

#include <sys/socket.h>

#include <cerrno>

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

bool Connection::Enqueue(std::string_view bytes) {
    if (output_.Push(bytes)) {
        return true;
    }
    if (output_.WriteTo(fd_.get()) == WriteStatus::Failed) {
        return false;
    }
    return output_.Push(bytes);
}

}  // namespace tessel::relay
