// SPDX-License-Identifier: MIT

// tessel-term against a flooding server, measured against a minimal client reading the same
// kind of socket in the same run, so the figures are ratios that survive a busy machine.
//
//   flood      100k chat messages: lines per second printed by tessel-term, lines per second
//              of a minimal client that frames the stream, converts each body from EUC-JP and
//              writes the same lines to a pipe, the
//              ratio of the two (target: 0.5 or better), and tessel-term's peak resident size.
//              Rates are given from the start of each client (tessel-term's includes starting
//              the process and reading its settings) and from the first byte of the flood
//              (the server's accept); the CPU time per line (all of tessel-term's threads,
//              the minimal client's one thread) is steadier than either on a busy machine.
//   slow       the same flood while standard output is read at 10 KB/s: tessel-term's
//              resident size once a second (flat when the display queue holds the server back).
//   typed      40 typed chat lines to a server that answers nothing: the median gap between
//              two arriving (10 ms of pacing, plus any wait for a delayed acknowledgement).
//   joined     from start to the " JOIN" acknowledgement through tessel-relay, median of runs.
//
// Usage: term_bench [--term PATH]... [--lines N] [--turns T] [--slow-seconds S] [--runs R]
// Each --term adds a binary to compare (the built one when none is given).

#include <arpa/inet.h>
#include <fcntl.h>
#include <iconv.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "term_bench: %s\n", what.c_str());
    std::exit(1);
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

bool SendAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string FloodText(int lines) {
    std::string flood;
    flood.reserve(static_cast<std::size_t>(lines) * 96);
    for (int i = 0; i < lines; ++i) {
        const std::string body = "flood " + std::to_string(i);
        flood += "TesseraRELAY/0.1\ntoClient\nSHOWMESG bob\nContent-length: " +
                 std::to_string(body.size()) + "\nContent-type: tesra/euc\nID: s***001\n\n" + body;
    }
    return flood;
}

// A server on 127.0.0.1 that sends the flood to the one client it accepts, then keeps the
// connection open until it is stopped.
class FloodServer {
  public:
    explicit FloodServer(const std::string& flood) : flood_(flood) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 4) != 0) {
            Fail("cannot listen on loopback");
        }
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~FloodServer() {
        stop_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        thread_.join();
        ::close(listener_);
    }

    int port() const { return port_; }
    Clock::time_point accepted() const { return accepted_.load(); }

  private:
    void Serve() {
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            return;
        }
        accepted_ = Clock::now();
        const int one = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        SendAll(client, flood_);
        // Whatever the client sends (its OPEN, JOIN, CLOSE) is read and dropped until it goes.
        char buffer[4096];
        while (!stop_) {
            pollfd fd{client, POLLIN, 0};
            if (::poll(&fd, 1, 50) > 0 && ::recv(client, buffer, sizeof buffer, 0) <= 0) {
                break;
            }
        }
        ::close(client);
    }

    const std::string& flood_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<Clock::time_point> accepted_{};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Standard output of the measured client: a pipe that a thread here empties as fast as it can.
class OutputPipe {
  public:
    OutputPipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            Fail("pipe");
        }
        read_ = fds[0];
        write_ = fds[1];
        thread_ = std::thread([this] {
            char buffer[65536];
            while (::read(read_, buffer, sizeof buffer) > 0) {
            }
        });
    }
    ~OutputPipe() {
        ::close(write_);
        thread_.join();
        ::close(read_);
    }
    int fd() const { return write_; }

  private:
    int read_ = -1;
    int write_ = -1;
    std::thread thread_;
};

// The least a client can do with the stream: frame each message by its header and length,
// convert the body from EUC-JP for the terminal, and write "name: body" lines to a pipe.
struct FloodResult {
    double seconds = 0;     // from the client's start to its last line
    double fromAccept = 0;  // from the server's accept to the last line
    double cpuSeconds = 0;  // the client's CPU time, user and system
    long peakKb = 0;
    long switches = 0;  // context switches of the client's threads
};

double ThreadCpuSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

FloodResult MinimalClient(const std::string& flood, int lines) {
    FloodServer server(flood);
    const double cpuStart = ThreadCpuSeconds();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(server.port()));
    const auto start = Clock::now();
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Fail("minimal client cannot connect");
    }
    OutputPipe pipe;
    const int out = pipe.fd();
    const iconv_t toUtf8 = ::iconv_open("UTF-8", "EUC-JP");
    std::string buffer;
    std::string output;
    std::size_t at = 0;
    int seen = 0;
    char chunk[65536];
    while (seen < lines) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            Fail("minimal client lost the connection");
        }
        buffer.append(chunk, static_cast<std::size_t>(n));
        for (;;) {
            const std::size_t end = buffer.find("\n\n", at);
            if (end == std::string::npos) {
                break;
            }
            const std::size_t lengthAt = buffer.find("Content-length: ", at);
            const std::size_t length = std::strtoul(buffer.c_str() + lengthAt + 16, nullptr, 10);
            if (buffer.size() < end + 2 + length) {
                break;
            }
            const std::size_t command = buffer.find('\n', buffer.find('\n', at) + 1) + 1;
            const std::size_t nameAt = buffer.find(' ', command) + 1;
            output.append(buffer, nameAt, buffer.find('\n', nameAt) - nameAt);
            output += ": ";
            char* in = buffer.data() + end + 2;
            std::size_t inLeft = length;
            const std::size_t used = output.size();
            output.resize(used + 4 * length);
            char* to = output.data() + used;
            std::size_t toLeft = 4 * length;
            ::iconv(toUtf8, &in, &inLeft, &to, &toLeft);
            output.resize(output.size() - toLeft);
            output += '\n';
            at = end + 2 + length;
            ++seen;
        }
        if (!output.empty()) {
            std::string_view left = output;
            while (!left.empty()) {
                const ssize_t w = ::write(out, left.data(), left.size());
                if (w <= 0) {
                    Fail("minimal client cannot write its output");
                }
                left.remove_prefix(static_cast<std::size_t>(w));
            }
            output.clear();
        }
        buffer.erase(0, at);
        at = 0;
    }
    const auto end = Clock::now();
    FloodResult result{Seconds(end - start), Seconds(end - server.accepted()),
                       ThreadCpuSeconds() - cpuStart, 0};
    ::iconv_close(toUtf8);
    ::close(fd);
    return result;
}

// tessel-term as a child in its own directory, standard output on a pipe read here.
class Term {
  public:
    Term(const std::string& binary, const std::filesystem::path& dir,
         std::vector<std::string> args) {
        int in[2];
        int out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            Fail("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
        args.insert(args.begin(), binary);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            Fail("cannot start " + binary);
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
    }
    ~Term() {
        ::close(stdin_);
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        ::close(stdout_);
    }

    // Reads standard output (at most `chunk` bytes a read) until `text` has appeared, or the
    // timeout; only the last bytes are kept for the search.
    bool ReadUntil(std::string_view text, Clock::duration timeout, std::size_t chunk = 65536) {
        const auto deadline = Clock::now() + timeout;
        std::vector<char> buffer(chunk);
        while (tail_.find(text) == std::string::npos) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd fd{stdout_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&fd, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            const ssize_t n = ::read(stdout_, buffer.data(), buffer.size());
            if (n <= 0) {
                return false;
            }
            tail_.append(buffer.data(), static_cast<std::size_t>(n));
            if (tail_.size() > 4 * text.size() + 4096) {
                tail_.erase(0, tail_.size() - text.size() - 64);
            }
        }
        return true;
    }

    void Write(std::string_view text) {
        [[maybe_unused]] const ssize_t n = ::write(stdin_, text.data(), text.size());
    }

    // Reads what is there, at most `bytes`.
    void ReadSome(std::size_t bytes) {
        std::vector<char> buffer(bytes);
        pollfd fd{stdout_, POLLIN, 0};
        if (::poll(&fd, 1, 0) > 0) {
            [[maybe_unused]] const ssize_t n = ::read(stdout_, buffer.data(), buffer.size());
        }
    }

    // CPU time of all the process's threads so far (their run time from the scheduler).
    double CpuSeconds() const {
        double total = 0;
        ForEachThread([&total](const std::filesystem::path& task) {
            std::ifstream stat(task / "schedstat");
            double nanoseconds = 0;
            if (stat >> nanoseconds) {
                total += nanoseconds / 1e9;
            }
        });
        return total;
    }

    // Context switches of all the process's threads so far, voluntary and not.
    long Switches() const {
        long total = 0;
        ForEachThread([&total](const std::filesystem::path& task) {
            std::ifstream status(task / "status");
            std::string line;
            while (std::getline(status, line)) {
                if (line.find("ctxt_switches:") != std::string::npos) {
                    total += std::stol(line.substr(line.find(':') + 1));
                }
            }
        });
        return total;
    }

    template <typename Visit>
    void ForEachThread(Visit visit) const {
        std::error_code error;
        const std::filesystem::path tasks = "/proc/" + std::to_string(pid_) + "/task";
        for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
            visit(task.path());
        }
    }

    long StatusKb(std::string_view field) const {
        std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.starts_with(std::string(field) + ":")) {
                return std::stol(line.substr(field.size() + 1));
            }
        }
        return -1;
    }

  private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::string tail_;
};

std::filesystem::path WorkDirectory() {
    // Memory-backed when possible: the settings file is written with fsync on every connect,
    // and a busy disk would otherwise measure the disk.
    char pattern[] = "/dev/shm/term_bench.XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        Fail("mkdtemp");
    }
    std::ofstream(std::filesystem::path(pattern) / "tessel.ini") << "[Settings]\r\n";
    return pattern;
}

FloodResult TermFlood(const std::string& binary, const std::string& flood, int lines) {
    const std::filesystem::path dir = WorkDirectory();
    FloodServer server(flood);
    const auto start = Clock::now();
    Term term(binary, dir, {"--host", "127.0.0.1", "--port", std::to_string(server.port())});
    if (!term.ReadUntil("bob: flood " + std::to_string(lines - 1) + "\n", 300s)) {
        Fail(binary + " did not print the whole flood");
    }
    const auto end = Clock::now();
    FloodResult result{Seconds(end - start), Seconds(end - server.accepted()), term.CpuSeconds(),
                       term.StatusKb("VmHWM"), term.Switches()};
    std::filesystem::remove_all(dir);
    return result;
}

// Resident size once a second while standard output drains at 10 KB/s.
std::vector<long> SlowReader(const std::string& binary, const std::string& flood, int seconds) {
    const std::filesystem::path dir = WorkDirectory();
    FloodServer server(flood);
    Term term(binary, dir, {"--host", "127.0.0.1", "--port", std::to_string(server.port())});
    std::vector<long> samples;
    const auto start = Clock::now();
    for (int tick = 1; tick <= seconds * 10; ++tick) {
        term.ReadSome(1024);
        std::this_thread::sleep_until(start + tick * 100ms);
        if (tick % 10 == 0) {
            samples.push_back(term.StatusKb("VmRSS"));
        }
    }
    std::filesystem::remove_all(dir);
    return samples;
}

double JoinedSeconds(const std::string& binary, const std::string& relay, int runs) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const std::filesystem::path dir = WorkDirectory();
        // The relay's port comes from its log line on standard error.
        int err[2];
        if (::pipe2(err, O_CLOEXEC) != 0) {
            Fail("pipe");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        std::vector<std::string> args = {relay, "--listen", "127.0.0.1:0"};
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        pid_t relayPid = -1;
        if (::posix_spawn(&relayPid, relay.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            Fail("cannot start " + relay);
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(err[1]);
        std::string log;
        constexpr std::string_view kListening = "listening on 127.0.0.1:";
        while (log.find('\n', log.find(kListening)) == std::string::npos) {
            char buffer[256];
            const ssize_t n = ::read(err[0], buffer, sizeof buffer);
            if (n <= 0) {
                Fail("the relay did not start");
            }
            log.append(buffer, static_cast<std::size_t>(n));
        }
        const std::string port =
            std::to_string(std::stoul(log.substr(log.find(kListening) + kListening.size())));
        const auto start = Clock::now();
        {
            Term term(
                binary, dir,
                {"--host", "127.0.0.1", "--port", port, "--handle", "taro", "--channel", "main"});
            if (!term.ReadUntil(" JOIN #main\n", 30s)) {
                Fail(binary + " was not joined");
            }
            times.push_back(Seconds(Clock::now() - start));
        }
        ::kill(relayPid, SIGTERM);
        ::waitpid(relayPid, nullptr, 0);
        ::close(err[0]);
        std::filesystem::remove_all(dir);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Typed chat lines against a server that answers nothing: the median time between two
// requests arriving. The input pane sends a line every 10 ms; a request held back until the
// server acknowledges the previous one waits for its delayed acknowledgement instead.
double TypedLineGapMs(const std::string& binary, int lines) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 1) != 0) {
        Fail("cannot listen on loopback");
    }
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::filesystem::path dir = WorkDirectory();
    Term term(binary, dir,
              {"--host", "127.0.0.1", "--port", std::to_string(ntohs(address.sin_port))});
    std::string typed;
    for (int i = 0; i < lines; ++i) {
        typed += "line " + std::to_string(i) + "\n";
    }
    term.Write(typed);
    const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    std::vector<Clock::time_point> arrivals;
    std::string received;
    char buffer[4096];
    const auto deadline = Clock::now() + 30s;
    while (static_cast<int>(arrivals.size()) < lines && Clock::now() < deadline) {
        pollfd fd{client, POLLIN, 0};
        if (::poll(&fd, 1, 1000) <= 0) {
            continue;
        }
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        received.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t at; (at = received.find("\n\nline ")) != std::string::npos;) {
            arrivals.push_back(Clock::now());
            received.erase(0, at + 2);
        }
    }
    ::close(client);
    ::close(listener);
    std::filesystem::remove_all(dir);
    std::vector<double> gaps;
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        gaps.push_back(1000 * Seconds(arrivals[i] - arrivals[i - 1]));
    }
    if (gaps.empty()) {
        Fail(binary + " sent no typed lines");
    }
    std::sort(gaps.begin(), gaps.end());
    return gaps[gaps.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> terms;
    int lines = 100000;
    int slowSeconds = 6;
    int runs = 9;
    int turns = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--term") {
            terms.emplace_back(argv[i + 1]);
        } else if (option == "--lines") {
            lines = std::atoi(argv[i + 1]);
        } else if (option == "--slow-seconds") {
            slowSeconds = std::atoi(argv[i + 1]);
        } else if (option == "--turns") {
            turns = std::max(1, std::atoi(argv[i + 1]));
        } else if (option == "--runs") {
            runs = std::atoi(argv[i + 1]);
        } else {
            Fail("unknown option " + std::string(option));
        }
    }
    if (terms.empty()) {
        terms.emplace_back(TESSEL_TERM_BINARY);
    }
    ::signal(SIGPIPE, SIG_IGN);
    const std::string flood = FloodText(lines);

    for (const std::string& term : terms) {
        std::printf("== %s\n", term.c_str());
        // The two clients take turns; the medians keep one slow turn on a busy machine from
        // deciding the ratio.
        std::vector<FloodResult> minimal;
        std::vector<FloodResult> measured;
        for (int turn = 0; turn < turns; ++turn) {
            minimal.push_back(MinimalClient(flood, lines));
            measured.push_back(TermFlood(term, flood, lines));
        }
        auto median = [](const std::vector<FloodResult>& results, double FloodResult::*field) {
            std::vector<double> values;
            for (const FloodResult& r : results) {
                values.push_back(r.*field);
            }
            std::sort(values.begin(), values.end());
            return values[values.size() / 2];
        };
        long peakKb = 0;
        std::vector<long> switches;
        for (const FloodResult& r : measured) {
            peakKb = std::max(peakKb, r.peakKb);
            switches.push_back(r.switches);
        }
        std::sort(switches.begin(), switches.end());
        const double m = median(minimal, &FloodResult::seconds);
        const double t = median(measured, &FloodResult::seconds);
        const double ma = median(minimal, &FloodResult::fromAccept);
        const double ta = median(measured, &FloodResult::fromAccept);
        const double mc = median(minimal, &FloodResult::cpuSeconds);
        const double tc = median(measured, &FloodResult::cpuSeconds);
        std::printf(
            "flood   %d lines, medians of %d: minimal client %.0f lines/s, tessel-term %.0f "
            "lines/s, ratio %.2f, tessel-term VmHWM %ld kB\n",
            lines, turns, lines / m, lines / t, m / t, peakKb);
        std::printf(
            "        from the first byte: minimal client %.0f lines/s, tessel-term %.0f lines/s, "
            "ratio %.2f (tessel-term took %.1f ms from start to connected)\n",
            lines / ma, lines / ta, ma / ta, 1000 * (t - ta));
        std::printf(
            "        CPU per line: minimal client %.3f us, tessel-term %.3f us, ratio %.2f; "
            "tessel-term context switches: %ld\n",
            1e6 * mc / lines, 1e6 * tc / lines, mc / tc, switches[switches.size() / 2]);
        if (slowSeconds > 0) {
            std::printf("slow    VmRSS (kB) each second at 10 KB/s:");
            for (const long kb : SlowReader(term, flood, slowSeconds)) {
                std::printf(" %ld", kb);
            }
            std::printf("\n");
        }
        if (runs > 0) {
            std::printf(
                "typed   median gap between typed lines reaching a silent server: "
                "%.1f ms (the input pane paces them 10 ms apart)\n",
                TypedLineGapMs(term, 40));
            std::printf("joined  median of %d: %.1f ms from start to the JOIN acknowledgement\n",
                        runs, 1000 * JoinedSeconds(term, TESSEL_RELAY_BINARY, runs));
        }
        std::fflush(stdout);
    }
    return 0;
}
