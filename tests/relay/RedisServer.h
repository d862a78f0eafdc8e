// SPDX-License-Identifier: MIT

#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "relay/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/TempDirectory.h"

namespace tessel::relay::test {

// A port on 127.0.0.1 that was free a moment ago.
inline std::uint16_t FreeLoopbackPort() {
    UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof where;
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&where), &length) != 0) {
        return 0;
    }
    return ntohs(where.sin_port);
}

// The path of redis-server, looked up as a shell would; empty when it is not installed.
inline std::string RedisServerPath() {
    const char* path = ::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
    std::vector<std::string> candidates;
    while (!dirs.empty()) {
        const std::size_t colon = dirs.find(':');
        candidates.push_back(std::string(dirs.substr(0, colon)) + "/redis-server");
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    }
    candidates.push_back("/usr/bin/redis-server");
    for (const std::string& c : candidates) {
        if (::access(c.c_str(), X_OK) == 0) {
            return c;
        }
    }
    return {};
}

// A few RESP commands on a blocking socket: enough to ask a test's Redis something or to
// publish what a relay would never send.
class RespClient {
  public:
    explicit RespClient(std::uint16_t port) {
        fd_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_.get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
            fd_.reset();
        }
    }
    bool connected() const { return fd_.valid(); }

    // The first line of the reply (":1", "+PONG", "$5"...), or nothing.
    std::optional<std::string> Command(const std::vector<std::string>& args) {
        std::string out = "*" + std::to_string(args.size()) + "\r\n";
        for (const std::string& a : args) {
            out += "$" + std::to_string(a.size()) + "\r\n" + a + "\r\n";
        }
        if (!fd_.valid() || ::send(fd_.get(), out.data(), out.size(), MSG_NOSIGNAL) !=
                                static_cast<ssize_t>(out.size())) {
            return std::nullopt;
        }
        std::string reply;
        char c = 0;
        while (true) {
            pollfd p{fd_.get(), POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0 || ::recv(fd_.get(), &c, 1, 0) != 1) {
                return std::nullopt;
            }
            if (c == '\n') {
                break;
            }
            if (c != '\r') {
                reply.push_back(c);
            }
        }
        // A bulk reply's content is not needed: drain it so the next reply starts clean.
        if (reply.starts_with("$") && reply != "$-1") {
            std::string rest(std::stoul(reply.substr(1)) + 2, '\0');
            ::recv(fd_.get(), rest.data(), rest.size(), MSG_WAITALL);
        }
        return reply;
    }

  private:
    UniqueFd fd_;
};

// A redis-server of the test's own on a free loopback port, its files in a temporary
// directory, nothing saved. It can be stopped and started again on the same port.
class RedisServer {
  public:
    RedisServer() : port_(FreeLoopbackPort()) {}
    // With `extra` arguments, such as those of a Redis Cluster node.
    explicit RedisServer(std::vector<std::string> extra)
        : port_(FreeLoopbackPort()), extra_(std::move(extra)) {}

    bool Start() {
        const std::string binary = RedisServerPath();
        if (binary.empty() || port_ == 0) {
            return false;
        }
        std::vector<std::string> args = {binary,   "--port",       std::to_string(port_),
                                         "--bind", "127.0.0.1",    "--save",
                                         "",       "--appendonly", "no",
                                         "--dir",  dir_.path(),    "--daemonize",
                                         "no",     "--loglevel",   "warning"};
        args.insert(args.end(), extra_.begin(), extra_.end());
        process_ = std::make_unique<tessel::test::ChildProcess>(args, dir_.path());
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            RespClient client(port_);
            if (client.connected() && client.Command({"PING"}) == "+PONG") {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    void Stop() {
        if (process_) {
            process_->Signal(SIGTERM);
            process_->Wait(std::chrono::seconds(10));
            process_.reset();
        }
    }

    // A Redis that stops answering without closing anything.
    void Pause() {
        if (process_) {
            process_->Signal(SIGSTOP);
        }
    }
    void Resume() {
        if (process_) {
            process_->Signal(SIGCONT);
        }
    }

    std::uint16_t port() const { return port_; }
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  private:
    tessel::test::TempDirectory dir_;
    std::uint16_t port_;
    std::vector<std::string> extra_;
    std::unique_ptr<tessel::test::ChildProcess> process_;
};

}  // namespace tessel::relay::test
