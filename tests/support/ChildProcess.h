// SPDX-License-Identifier: MIT

#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace tessel::test {

// A program run as a child, optionally in a working directory of its own, with its standard
// input written by the test and its standard output and error collected by a thread, so the
// child never blocks on a full pipe.
class ChildProcess {
  public:
    explicit ChildProcess(std::vector<std::string> argv, const std::string& workingDirectory = {}) {
        int in[2];
        int out[2];
        int err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            ::pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        stdin_ = in[1];
        stdout_ = out[0];
        stderr_ = err[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        if (!workingDirectory.empty()) {
            posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
        }
        std::vector<char*> raw;
        for (std::string& a : argv) {
            raw.push_back(a.data());
        }
        raw.push_back(nullptr);
        if (::posix_spawn(&pid_, raw[0], &actions, nullptr, raw.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        if (pid_ > 0) {
            reader_ = std::thread([this] { Collect(); });
        }
    }

    ~ChildProcess() {
        CloseInput();
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            Wait(std::chrono::seconds(10));
        }
        if (reader_.joinable()) {
            reader_.join();
        }
        for (const int fd : {stdout_, stderr_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    void Write(std::string_view bytes) {
        while (!bytes.empty() && stdin_ >= 0) {
            const ssize_t n = ::write(stdin_, bytes.data(), bytes.size());
            if (n <= 0) {
                return;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
    }

    void CloseInput() {
        if (stdin_ >= 0) {
            ::close(stdin_);
            stdin_ = -1;
        }
    }

    void Signal(int signal) { ::kill(pid_, signal); }

    bool WaitForOutput(std::string_view text,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return WaitFor(out_, text, timeout);
    }
    bool WaitForError(std::string_view text,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return WaitFor(err_, text, timeout);
    }

    std::string output() {
        std::lock_guard lock(mutex_);
        return out_;
    }
    std::string error() {
        std::lock_guard lock(mutex_);
        return err_;
    }

    // The exit code once the child has ended and both its outputs are closed, -1 when a signal
    // ended it, or nothing after the timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        {
            std::unique_lock lock(mutex_);
            if (!changed_.wait_for(lock, timeout, [&] { return ended_; })) {
                return std::nullopt;
            }
        }
        if (!status_) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return status_;
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
    bool WaitFor(const std::string& stream, std::string_view text,
                 std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout,
                                 [&] { return stream.find(text) != std::string::npos; });
    }

    void Collect() {
        pollfd fds[2] = {{stdout_, POLLIN, 0}, {stderr_, POLLIN, 0}};
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
    int stdin_ = -1;
    int stdout_ = -1;
    int stderr_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string out_;
    std::string err_;
    bool ended_ = false;
    std::optional<int> status_;
};

}  // namespace tessel::test
