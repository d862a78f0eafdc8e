// The relay under a chat load: N clients in one channel, one of them sending chat lines as
// fast as the relay takes them, every client reading everything. The relay runs as the
// built binary in a child process, so its peak memory is its own.
//
// Counters: lines_per_s (chat lines delivered to all N clients per second),
// deliveries_per_s (lines times recipients), relay_vmhwm_kib (the relay's peak resident
// size, the joining of N clients included).

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kLinesPerIteration = 200;
constexpr int kIterations = 25;
// Lines the sender may be ahead of the slowest reader: enough to keep the relay busy,
// few enough that no reader comes near the relay's 1 MiB output limit.
constexpr int kWindow = 64;
constexpr auto kStallLimit = std::chrono::seconds(30);

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what);
}

// The relay binary as a child; its log is drained by a thread so it never blocks.
class RelayChild {
  public:
    explicit RelayChild(int maxClients) {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0) {
            Fail("pipe");
        }
        readEnd_ = pipe[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args = {TESSEL_RELAY_BINARY,
                                         "--listen",
                                         "127.0.0.1:0",
                                         "--seed",
                                         "1",
                                         "--max-clients",
                                         std::to_string(maxClients),
                                         "--probe-interval",
                                         "86400",
                                         "--probe-timeout",
                                         "86400"};
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            Fail("cannot start " + args[0]);
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
        drain_ = std::thread([this] { Drain(); });
    }

    ~RelayChild() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        drain_.join();
        ::close(readEnd_);
    }

    std::uint16_t Port() {
        constexpr std::string_view kListening = "listening on 127.0.0.1:";
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(
                lock, std::chrono::seconds(10),
                [&] { return log_.find(kListening) != std::string::npos || ended_; }) ||
            log_.find(kListening) == std::string::npos) {
            Fail("the relay did not start: " + log_);
        }
        return static_cast<std::uint16_t>(
            std::stoul(log_.substr(log_.find(kListening) + kListening.size())));
    }

    long PeakKib() const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.starts_with("VmHWM:")) {
                return std::stol(line.substr(6));
            }
        }
        return -1;
    }

  private:
    void Drain() {
        char chunk[4096];
        while (true) {
            const ssize_t n = ::read(readEnd_, chunk, sizeof chunk);
            std::lock_guard lock(mutex_);
            if (n <= 0) {
                ended_ = true;
                changed_.notify_all();
                return;
            }
            if (log_.size() < 65536) {  // the start is all we need
                log_.append(chunk, static_cast<std::size_t>(n));
            }
            changed_.notify_all();
        }
    }

    pid_t pid_ = -1;
    int readEnd_ = -1;
    std::thread drain_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string log_;
    bool ended_ = false;
};

// One benchmark client: a non-blocking socket and an incremental count of the messages
// it has been sent, by kind.
class BenchClient {
  public:
    explicit BenchClient(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
            Fail(std::string("connect: ") + std::strerror(errno));
        }
        const int on = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        ::fcntl(fd_, F_SETFL, O_NONBLOCK);
    }
    ~BenchClient() { ::close(fd_); }
    BenchClient(const BenchClient&) = delete;
    BenchClient& operator=(const BenchClient&) = delete;

    int fd() const { return fd_; }
    long chats() const { return chats_; }
    long accepted() const { return accepted_; }

    // Requests here are small; the socket always has room for them.
    void Send(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                Fail(std::string("send: ") + std::strerror(errno));
            }
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(n));
            } else {
                pollfd p{fd_, POLLOUT, 0};
                ::poll(&p, 1, 1000);
            }
        }
    }

    // Reads whatever is there and counts the whole messages in it.
    void Receive() {
        char chunk[65536];
        while (true) {
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n > 0) {
                buffer_.append(chunk, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0) {
                Fail("the relay closed a client");
            }
            if (errno == EAGAIN || errno == EINTR) {
                break;
            }
            Fail(std::string("recv: ") + std::strerror(errno));
        }
        Count();
    }

  private:
    void Count() {
        std::size_t pos = 0;
        while (true) {
            const std::size_t end = buffer_.find("\n\n", pos);
            if (end == std::string::npos) {
                break;
            }
            std::size_t length = 0;
            const std::size_t cl = buffer_.find("Content-length: ", pos);
            if (cl != std::string::npos && cl < end) {
                length = std::stoul(buffer_.substr(cl + 16, 8));
            }
            if (buffer_.size() < end + 2 + length) {
                break;
            }
            const std::size_t command = buffer_.find('\n', buffer_.find('\n', pos) + 1) + 1;
            if (buffer_.compare(command, 9, "SHOWMESG ") == 0) {
                ++chats_;
            } else if (buffer_.compare(command, 12, "RESPONSE 100") == 0) {
                ++accepted_;
            }
            pos = end + 2 + length;
        }
        buffer_.erase(0, pos);
    }

    int fd_ = -1;
    std::string buffer_;
    long chats_ = 0;
    long accepted_ = 0;
};

std::string Request(std::string_view line, std::string_view body = {}) {
    std::string out = "TesseraRELAY 0.2\ntoServer\n";
    out.append(line).append("\n");
    if (!body.empty()) {
        out.append("Content-length: ").append(std::to_string(body.size()));
        out.append("\nContent-type: tesra/euc\n");
    }
    return out.append("ID: a00100000000\n\n").append(body);
}

// Reads from every client until `done` holds; fails when nothing arrives for too long.
template <typename Done>
void Pump(std::vector<std::unique_ptr<BenchClient>>& clients, std::vector<pollfd>& fds, Done done) {
    auto lastProgress = Clock::now();
    while (!done()) {
        fds.resize(clients.size());
        for (std::size_t i = 0; i < clients.size(); ++i) {
            fds[i] = {clients[i]->fd(), POLLIN, 0};
        }
        const int ready = ::poll(fds.data(), fds.size(), 1000);
        if (ready > 0) {
            lastProgress = Clock::now();
        } else if (Clock::now() - lastProgress > kStallLimit) {
            Fail("the relay stalled");
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                clients[i]->Receive();
            }
        }
    }
}

long Slowest(const std::vector<std::unique_ptr<BenchClient>>& clients) {
    long slowest = clients.front()->chats();
    for (const auto& c : clients) {
        slowest = std::min(slowest, c->chats());
    }
    return slowest;
}

void BM_RelayChatFanOut(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    try {
        RelayChild relay(n + 10);
        const std::uint16_t port = relay.Port();
        std::vector<std::unique_ptr<BenchClient>> clients;
        std::vector<pollfd> fds;
        // Join one client at a time, reading every user list the joins send around.
        for (int i = 0; i < n; ++i) {
            clients.push_back(std::make_unique<BenchClient>(port));
            BenchClient& c = *clients.back();
            c.Send(
                Request("OPEN 127.0.0.1:" + std::to_string(10000 + i) + " u" + std::to_string(i)) +
                Request("JOIN #bench"));
            Pump(clients, fds, [&] { return c.accepted() == 2; });
        }
        // One line through to everyone: everything before it has been read.
        BenchClient& sender = *clients.front();
        const std::string line =
            Request("SENDMESG *", "bench line: the quick brown fox jumps over");
        sender.Send(line);
        Pump(clients, fds, [&] { return Slowest(clients) == 1; });

        long sent = 1;
        long delivered = 0;
        for (auto _ : state) {
            const long target = sent + kLinesPerIteration;
            while (Slowest(clients) < target) {
                while (sent < target && sent - Slowest(clients) < kWindow) {
                    sender.Send(line);
                    ++sent;
                }
                const long before = Slowest(clients);
                Pump(clients, fds,
                     [&] { return Slowest(clients) > before || Slowest(clients) == target; });
            }
            delivered += kLinesPerIteration;
        }
        state.counters["lines_per_s"] =
            benchmark::Counter(static_cast<double>(delivered), benchmark::Counter::kIsRate);
        state.counters["deliveries_per_s"] =
            benchmark::Counter(static_cast<double>(delivered) * n, benchmark::Counter::kIsRate);
        state.counters["relay_vmhwm_kib"] = static_cast<double>(relay.PeakKib());
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

BENCHMARK(BM_RelayChatFanOut)
    ->Arg(10)
    ->Arg(100)
    ->Arg(500)
    ->Iterations(kIterations)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
