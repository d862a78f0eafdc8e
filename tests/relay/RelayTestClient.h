// SPDX-License-Identifier: MIT

#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "protocol/Words.h"
#include "relay/RelayLog.h"
#include "relay/RelayOptions.h"
#include "relay/RelayServer.h"
#include "relay/UniqueFd.h"

namespace tessel::relay::test {

using namespace std::chrono_literals;

// How long a test waits for something that should happen at once. Generous, since a
// sanitizer build on a busy machine is slow; a passing test never waits this long.
inline constexpr std::chrono::milliseconds kWait = 10s;

// One message from the relay, as the test client framed it.
struct ServerMessage {
    std::string raw;      // every byte of it
    std::string command;  // the third header line
    std::string id;
    std::string body;
};

// A small blocking-with-timeouts client on 127.0.0.1, reading the relay's messages.
class RelayTestClient {
  public:
    explicit RelayTestClient(std::uint16_t port, int receiveBuffer = 0) {
        fd_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (receiveBuffer > 0) {
            ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        }
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_.get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
            fd_.reset();
        }
    }

    bool connected() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }

    // Sends every byte, waiting for room; false when the relay has closed the connection.
    bool Send(std::string_view bytes, std::chrono::milliseconds timeout = kWait) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!bytes.empty()) {
            const ssize_t n =
                ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                return false;
            }
            if (!WaitFor(POLLOUT, deadline)) {
                return false;
            }
        }
        return true;
    }

    // The next whole message, or nothing when none arrives in time or the stream ends.
    std::optional<ServerMessage> Next(std::chrono::milliseconds timeout = kWait) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            if (std::optional<ServerMessage> message = Take()) {
                return message;
            }
            if (!Fill(deadline)) {
                return std::nullopt;
            }
        }
    }

    // Skips messages up to the first whose command line starts with `prefix`.
    std::optional<ServerMessage> NextCommand(std::string_view prefix,
                                             std::chrono::milliseconds timeout = kWait) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            std::optional<ServerMessage> message = Next(std::max(left, 0ms));
            if (!message || message->command.starts_with(prefix)) {
                return message;
            }
        }
    }

    // Reads the first probe and keeps the number the relay gave this client.
    int Welcome() {
        const std::optional<ServerMessage> ready = Next();
        if (ready && ready->command.starts_with("READY ")) {
            number_ = std::stoi(ready->command.substr(6));
        }
        return number_;
    }
    int number() const { return number_; }

    // Answers a probe as the client does: RESPONSE 000 with the probe's word, same ID.
    bool Answer(const ServerMessage& ready) {
        return Send("TesseraRELAY 0.2\ntoServer\nRESPONSE 000 " +
                    std::string(WordAt(ready.command, 1)) + "\nID: " + ready.id + "\n\n");
    }

    // True once the relay has closed the connection (end of stream or reset); whatever
    // arrives before is read and dropped.
    bool WaitClosed(std::chrono::milliseconds timeout = kWait) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            buffer_.clear();
            if (!Fill(deadline)) {
                return closed_;
            }
        }
    }

    void Close() { fd_.reset(); }

  private:
    bool WaitFor(short events, std::chrono::steady_clock::time_point deadline) {
        while (true) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return false;
            }
            pollfd p{fd_.get(), events, 0};
            const int r = ::poll(&p, 1, static_cast<int>(left.count()));
            if (r > 0) {
                return true;
            }
            if (r < 0 && errno != EINTR) {
                return false;
            }
        }
    }

    // Reads more bytes; false on timeout or when the stream has ended.
    bool Fill(std::chrono::steady_clock::time_point deadline) {
        if (closed_ || !WaitFor(POLLIN, deadline)) {
            return false;
        }
        char chunk[65536];
        const ssize_t n = ::recv(fd_.get(), chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return true;
        }
        closed_ = true;
        return false;
    }

    // One whole message from the front of the buffer.
    std::optional<ServerMessage> Take() {
        ServerMessage message;
        std::vector<std::string> lines;
        std::size_t pos = 0;
        while (true) {
            const std::size_t feed = buffer_.find('\n', pos);
            if (feed == std::string::npos) {
                return std::nullopt;
            }
            std::string line = buffer_.substr(pos, feed - pos);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            pos = feed + 1;
            if (line.empty()) {
                break;
            }
            lines.push_back(line);
        }
        std::size_t length = 0;
        for (std::size_t i = 3; i < lines.size(); ++i) {
            if (WordAt(lines[i], 0) == "Content-length:") {
                length = std::stoul(std::string(WordAt(lines[i], 1)));
            } else if (WordAt(lines[i], 0) == "ID:") {
                message.id = std::string(WordAt(lines[i], 1));
            }
        }
        if (buffer_.size() < pos + length) {
            return std::nullopt;
        }
        message.command = lines.size() > 2 ? lines[2] : "";
        message.body = buffer_.substr(pos, length);
        message.raw = buffer_.substr(0, pos + length);
        buffer_.erase(0, pos + length);
        return message;
    }

    UniqueFd fd_;
    std::string buffer_;
    bool closed_ = false;
    int number_ = 0;
};

// The relay's log lines, kept for tests to wait on.
class LogRecorder {
  public:
    LogSink sink() {
        return [this](std::string_view line) {
            std::lock_guard lock(mutex_);
            lines_.emplace_back(line);
            changed_.notify_all();
        };
    }

    // Waits until at least `count` lines contain `text`. Each line is looked at once, so
    // waiting for thousands of lines stays cheap.
    bool WaitFor(std::string_view text, std::size_t count = 1,
                 std::chrono::milliseconds timeout = kWait) {
        std::unique_lock lock(mutex_);
        std::size_t seen = 0;
        std::size_t found = 0;
        return changed_.wait_for(lock, timeout, [&] {
            for (; seen < lines_.size(); ++seen) {
                found += lines_[seen].find(text) != std::string::npos ? 1 : 0;
            }
            return found >= count;
        });
    }

    std::size_t Count(std::string_view text) {
        std::lock_guard lock(mutex_);
        return CountLocked(text);
    }

  private:
    std::size_t CountLocked(std::string_view text) const {
        std::size_t n = 0;
        for (const std::string& line : lines_) {
            n += line.find(text) != std::string::npos ? 1 : 0;
        }
        return n;
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

// A relay running in this process on an ephemeral loopback port, stopped through a pipe.
class InProcessRelay {
  public:
    explicit InProcessRelay(RelayConfig config) : server_(WithEphemeralPort(config), log_.sink()) {
        std::string error;
        listening_ = server_.Listen(error);
        int fds[2] = {-1, -1};
        if (listening_ && ::pipe2(fds, O_CLOEXEC) == 0) {
            stopRead_.reset(fds[0]);
            stopWrite_.reset(fds[1]);
            thread_ = std::thread([this] { exitCode_ = server_.Run(stopRead_.get()); });
        }
    }
    ~InProcessRelay() { Stop(); }
    InProcessRelay(const InProcessRelay&) = delete;
    InProcessRelay& operator=(const InProcessRelay&) = delete;

    bool running() const { return thread_.joinable(); }
    std::uint16_t port() const { return server_.port(); }
    LogRecorder& log() { return log_; }

    // Stops the loop and returns its exit code.
    int Stop() {
        if (thread_.joinable()) {
            const char stop = 's';
            [[maybe_unused]] const ssize_t n = ::write(stopWrite_.get(), &stop, 1);
            thread_.join();
        }
        return exitCode_;
    }

  private:
    static RelayConfig WithEphemeralPort(RelayConfig config) {
        config.address = "127.0.0.1";
        config.port = 0;
        return config;
    }

    LogRecorder log_;
    RelayServer server_;
    bool listening_ = false;
    UniqueFd stopRead_;
    UniqueFd stopWrite_;
    std::thread thread_;
    int exitCode_ = -1;
};

}  // namespace tessel::relay::test
