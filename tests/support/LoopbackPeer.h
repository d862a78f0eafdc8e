// SPDX-License-Identifier: MIT

#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessel::test {

// A listening socket on 127.0.0.1 with an ephemeral port, and the one connection it accepts:
// the server side of a test, driven synchronously with timeouts.
class LoopbackPeer {
  public:
    LoopbackPeer() {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 8);
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackPeer() {
        CloseConnection();
        if (listener_ >= 0) {
            ::close(listener_);
        }
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    int port() const { return port_; }

    // Makes the accepted connection's receive buffer small, so a client that writes more than
    // the peer reads fills its own queue soon. Must come before Accept.
    void SetReceiveBuffer(int bytes) {
        ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }

    // Stops listening, so a connect to the port is refused.
    void StopListening() {
        ::close(listener_);
        listener_ = -1;
    }

    bool Accept(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        pollfd fd{listener_, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(timeout.count())) != 1) {
            return false;
        }
        CloseConnection();
        connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        received_.clear();
        return connection_ >= 0;
    }

    void Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    // Writes all of `bytes` unless the client stops taking them for `patience`; false then.
    bool WriteWithin(std::string_view bytes, std::chrono::milliseconds patience) {
        while (!bytes.empty()) {
            pollfd fd{connection_, POLLOUT, 0};
            if (::poll(&fd, 1, static_cast<int>(patience.count())) != 1) {
                return false;
            }
            const ssize_t n =
                ::send(connection_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n <= 0) {
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    // Reads until at least `count` bytes have arrived in all, or the timeout; returns all bytes
    // received so far and keeps them.
    std::string ReadAtLeast(std::size_t count,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (received_.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadSome(left)) {
                break;
            }
        }
        return received_;
    }

    // Reads until `text` occurs in what has arrived (or the timeout); returns everything.
    std::string ReadUntil(std::string_view text,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (received_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !ReadSome(left)) {
                break;
            }
        }
        return received_;
    }

    // True when the client closed its end within the timeout.
    bool WaitForClose(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return false;
            }
            pollfd fd{connection_, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left.count())) != 1) {
                return false;
            }
            char buffer[4096];
            const ssize_t n = ::recv(connection_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                return true;
            }
            received_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // The client's port, as the accepted connection sees it.
    int PeerPort() const {
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ::getpeername(connection_, reinterpret_cast<sockaddr*>(&address), &length);
        return ntohs(address.sin_port);
    }

    void ClearReceived() { received_.clear(); }
    const std::string& received() const { return received_; }

    void CloseConnection() {
        if (connection_ >= 0) {
            ::close(connection_);
        }
        connection_ = -1;
    }

  private:
    bool ReadSome(std::chrono::milliseconds timeout) {
        pollfd fd{connection_, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(timeout.count())) != 1) {
            return false;
        }
        char buffer[65536];
        const ssize_t n = ::recv(connection_, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return false;
        }
        received_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    int listener_ = -1;
    int connection_ = -1;
    int port_ = 0;
    std::string received_;
};

}  // namespace tessel::test
