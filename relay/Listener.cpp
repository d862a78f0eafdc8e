// SPDX-License-Identifier: MIT

#include "relay/Listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

namespace tessel::relay {
namespace {

std::string Describe(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(address.sin_port));
}

}  // namespace

std::optional<Listener> Listener::Open(const std::string& address, std::uint16_t port,
                                       std::string& error) {
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    if (::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
        error = "not an IPv4 address";
        return std::nullopt;
    }
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    // A restarted relay must not wait for the old connections' TIME_WAIT to pass.
    const int on = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        ::listen(fd.get(), SOMAXCONN) != 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    return Listener(std::move(fd), ntohs(bound.sin_port));
}

Accepted Listener::Accept() {
    Accepted result;
    while (true) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const int fd = ::accept4(fd_.get(), reinterpret_cast<sockaddr*>(&peer), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            // Every message is written whole; holding a small one back for the peer's
            // delayed acknowledgement would only add latency to chat and probes.
            const int on = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            result.status = AcceptStatus::Accepted;
            result.fd.reset(fd);
            result.peer = Describe(peer);
            return result;
        }
        switch (errno) {
            case EINTR:
            case ECONNABORTED:
            case EPROTO:
                continue;  // that one gave up while waiting; look at the next
            case EAGAIN:
#if EAGAIN != EWOULDBLOCK
            case EWOULDBLOCK:
#endif
                result.status = AcceptStatus::None;
                return result;
            default:
                result.status = AcceptStatus::Exhausted;
                result.error = errno;
                return result;
        }
    }
}

}  // namespace tessel::relay
