#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "relay/UniqueFd.h"

extern char** environ;

namespace tessel::relay::test {

// The built tessel-relay as a child process, its standard output and error collected by a
// thread so that the relay never blocks on a full pipe.
class RelayProcess {
  public:
    explicit RelayProcess(const std::vector<std::string>& args) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        outRead_.reset(out[0]);
        errRead_.reset(err[0]);
        const UniqueFd outWrite(out[1]);
        const UniqueFd errWrite(err[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, outWrite.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errWrite.get(), STDERR_FILENO);
        std::vector<std::string> argv = {TESSEL_RELAY_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (std::string& a : argv) {
            raw.push_back(a.data());
        }
        raw.push_back(nullptr);
        if (::posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        if (pid_ > 0) {
            reader_ = std::thread([this] { Collect(); });
        }
    }

    ~RelayProcess() {
        if (pid_ > 0 && !exitStatus_) {
            ::kill(pid_, SIGKILL);
            WaitExit(std::chrono::seconds(10));
        }
        if (reader_.joinable()) {
            reader_.join();
        }
    }
    RelayProcess(const RelayProcess&) = delete;
    RelayProcess& operator=(const RelayProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    bool WaitForError(std::string_view text, std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout,
                                 [&] { return err_.find(text) != std::string::npos; });
    }

    // The port from the relay's "listening on ADDR:PORT" line.
    std::optional<std::uint16_t> Port(std::chrono::milliseconds timeout) {
        constexpr std::string_view kListening = "listening on 127.0.0.1:";
        if (!WaitForError(kListening, timeout)) {
            return std::nullopt;
        }
        std::lock_guard lock(mutex_);
        const std::size_t at = err_.find(kListening) + kListening.size();
        return static_cast<std::uint16_t>(std::stoul(err_.substr(at)));
    }

    void Signal(int signal) { ::kill(pid_, signal); }

    // The exit code once the process has ended (both pipes closed), or nothing in time;
    // -1 when it was ended by a signal.
    std::optional<int> WaitExit(std::chrono::milliseconds timeout) {
        {
            std::unique_lock lock(mutex_);
            if (!changed_.wait_for(lock, timeout, [&] { return ended_; })) {
                return std::nullopt;
            }
        }
        if (!exitStatus_) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
            exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return exitStatus_;
    }

    std::string out() {
        std::lock_guard lock(mutex_);
        return out_;
    }
    std::string err() {
        std::lock_guard lock(mutex_);
        return err_;
    }

    // A field of /proc/<pid>/status in kB, such as VmHWM (the peak resident size).
    std::optional<long> StatusKb(std::string_view field) const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.starts_with(std::string(field) + ":")) {
                return std::stol(line.substr(field.size() + 1));
            }
        }
        return std::nullopt;
    }

  private:
    void Collect() {
        pollfd fds[2] = {{outRead_.get(), POLLIN, 0}, {errRead_.get(), POLLIN, 0}};
        int open = 2;
        while (open > 0) {
            if (::poll(fds, 2, -1) < 0) {
                continue;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0) {
                    continue;
                }
                char chunk[4096];
                const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
                std::lock_guard lock(mutex_);
                if (n > 0) {
                    (i == 0 ? out_ : err_).append(chunk, static_cast<std::size_t>(n));
                } else {
                    fds[i].fd = -1;
                    --open;
                }
                changed_.notify_all();
            }
        }
        std::lock_guard lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

    pid_t pid_ = -1;
    UniqueFd outRead_;
    UniqueFd errRead_;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string out_;
    std::string err_;
    bool ended_ = false;
    std::optional<int> exitStatus_;
};

}  // namespace tessel::relay::test
