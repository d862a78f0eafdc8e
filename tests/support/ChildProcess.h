#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace tessel::test {

// A program run as a child in a chosen working directory, with its standard input written by
// the test and its standard output collected by a thread (so it never blocks on a full pipe).
class ChildProcess {
  public:
    ChildProcess(std::vector<std::string> argv, const std::string& workingDirectory) {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        stdin_ = in[1];
        stdout_ = out[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
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
        if (stdout_ >= 0) {
            ::close(stdout_);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }

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

    bool WaitForOutput(std::string_view text,
                       std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, timeout,
                                 [&] { return output_.find(text) != std::string::npos; });
    }

    std::string output() {
        std::lock_guard lock(mutex_);
        return output_;
    }

    // The exit code once the child has ended, or nothing after the timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!status_) {
            int status = 0;
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_) {
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (reader_.joinable()) {
            reader_.join();
        }
        return status_;
    }

  private:
    void Collect() {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(stdout_, buffer, sizeof buffer);
            if (n <= 0) {
                return;
            }
            {
                std::lock_guard lock(mutex_);
                output_.append(buffer, static_cast<std::size_t>(n));
            }
            changed_.notify_all();
        }
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::optional<int> status_;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string output_;
};

}  // namespace tessel::test
