// SPDX-License-Identifier: MIT

// The relay under a chat load, next to an IRC server doing the same work when one is installed:
// N clients join one channel all at once, then one of them sends 42-byte chat lines as fast as
// the slowest reader keeps up, and every client reads everything. Each server runs as a child
// process on 127.0.0.1, fresh for each N.
//
// Reported per server and N: lines/s (lines delivered to all members), deliveries/s, the
// server's CPU microseconds per delivery over the chat phase (its threads' run time from
// /proc, the time its rusage counts), the time the N joins took, and the server's peak
// resident size (ru_maxrss at its exit, the join storm included).
//
//   relay_bench [--relay PATH] [--baseline PATH] [--inspircd PATH|none] [--sizes 10,100,500]
//               [--deliveries D]
//
//   relay_bench --cluster [--relay PATH] [--redis-server PATH] [--sizes 300,900,1500]
//               [--deliveries D]
//
// --cluster compares one relay with a group of three relays sharing one redis-server (a
// child on a free loopback port): the N clients are dealt round-robin over the three, the
// sender is on the first. Reported besides: CPU per delivery summed over every relay and
// Redis, and the latency from sending a line to its last delivery (p50, p99). One relay is
// left out where N is past the 999 clients it can number.
//
// --baseline runs a second relay binary (an older build) in the same run for comparison.
// inspircd is looked for at /usr/sbin/inspircd unless given; it gets a generated
// configuration that listens on 127.0.0.1 only, with flood limits lifted.

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Lines the sender may be ahead of the slowest reader: enough to keep the server busy, few
// enough that no reader comes near a 1 MiB output limit.
constexpr long kWindow = 64;
constexpr auto kStallLimit = 30s;
constexpr std::string_view kLine = "bench line: the quick brown fox jumps over";  // 42 bytes

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what);
}

std::uint16_t FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof where;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length) != 0) {
        Fail("no free port");
    }
    ::close(fd);
    return ntohs(where.sin_port);
}

// One server as a child process, its output thrown away.
class ServerChild {
  public:
    explicit ServerChild(std::vector<std::string> args) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            Fail("cannot start " + args[0]);
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ServerChild() {
        if (pid_ > 0) {
            Stop();
        }
    }
    ServerChild(const ServerChild&) = delete;
    ServerChild& operator=(const ServerChild&) = delete;

    // Run time of all its threads so far, in nanoseconds.
    std::uint64_t CpuNanos() const {
        std::uint64_t total = 0;
        const std::string tasks = "/proc/" + std::to_string(pid_) + "/task";
        DIR* dir = ::opendir(tasks.c_str());
        if (dir == nullptr) {
            Fail("cannot read " + tasks);
        }
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.') {
                continue;
            }
            std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
            std::uint64_t ns = 0;
            if (stat >> ns) {
                total += ns;
            }
        }
        ::closedir(dir);
        return total;
    }

    // Stops it and returns its rusage.
    rusage Stop() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        rusage usage{};
        ::wait4(pid_, &status, 0, &usage);
        pid_ = -1;
        return usage;
    }

  private:
    pid_t pid_ = -1;
};

// How one kind of server is spoken to.
class Dialect {
  public:
    virtual ~Dialect() = default;
    virtual std::string Join(int i) const = 0;
    virtual std::string Chat() const = 0;
    virtual bool SenderGetsOwnLine() const = 0;
    // What a client sends once the server has welcomed it.
    virtual std::string AfterWelcome() const { return {}; }
    // Counts what `buffer` holds from its front; leaves a partial message in place.
    virtual void Count(std::string& buffer, long& chats, bool& welcomed, bool& joined) const = 0;
};

class RelayDialect : public Dialect {
  public:
    std::string Join(int i) const override {
        return Request("OPEN 127.0.0.1:" + std::to_string(10000 + i) + " u" + std::to_string(i)) +
               Request("JOIN #bench");
    }
    std::string Chat() const override { return Request("SENDMESG *", kLine); }
    bool SenderGetsOwnLine() const override { return true; }

    void Count(std::string& buffer, long& chats, bool& /*welcomed*/, bool& joined) const override {
        std::size_t pos = 0;
        while (true) {
            const std::size_t end = buffer.find("\n\n", pos);
            if (end == std::string::npos) {
                break;
            }
            std::size_t length = 0;
            const std::size_t cl = buffer.find("Content-length: ", pos);
            if (cl != std::string::npos && cl < end) {
                length = std::stoul(buffer.substr(cl + 16, 8));
            }
            if (buffer.size() < end + 2 + length) {
                break;
            }
            const std::size_t command = buffer.find('\n', buffer.find('\n', pos) + 1) + 1;
            if (buffer.compare(command, 9, "SHOWMESG ") == 0) {
                ++chats;
            } else if (buffer.compare(command, 17, "RESPONSE 100\nCont") == 0 &&
                       buffer.compare(end + 2, 5, "JOIN ") == 0) {
                joined = true;
            }
            pos = end + 2 + length;
        }
        buffer.erase(0, pos);
    }

  private:
    static std::string Request(std::string_view line, std::string_view body = {}) {
        std::string out = "TesseraRELAY 0.2\ntoServer\n";
        out.append(line).append("\n");
        if (!body.empty()) {
            out.append("Content-length: ").append(std::to_string(body.size()));
            out.append("\nContent-type: tesra/euc\n");
        }
        return out.append("ID: a00100000000\n\n").append(body);
    }
};

class IrcDialect : public Dialect {
  public:
    std::string Join(int i) const override {
        const std::string nick = "u" + std::to_string(i);
        return "NICK " + nick + "\r\nUSER " + nick + " 0 * :bench\r\n";
    }
    // A JOIN before the welcome would be refused as coming from an unregistered client.
    std::string AfterWelcome() const override { return "JOIN #bench\r\n"; }
    std::string Chat() const override { return "PRIVMSG #bench :" + std::string(kLine) + "\r\n"; }
    bool SenderGetsOwnLine() const override { return false; }

    void Count(std::string& buffer, long& chats, bool& welcomed, bool& joined) const override {
        std::size_t pos = 0;
        while (true) {
            const std::size_t end = buffer.find("\r\n", pos);
            if (end == std::string::npos) {
                break;
            }
            const std::string_view line(buffer.data() + pos, end - pos);
            if (line.find(" PRIVMSG #bench :") != std::string_view::npos) {
                ++chats;
            } else if (line.find(" 001 ") != std::string_view::npos) {
                welcomed = true;
            } else if (line.find(" 366 ") != std::string_view::npos) {
                joined = true;  // the end of the channel's names: the JOIN went through
            }
            pos = end + 2;
        }
        buffer.erase(0, pos);
    }
};

// One client: a non-blocking socket and the count of what it has been sent.
class BenchClient {
  public:
    BenchClient(std::uint16_t port, const Dialect& dialect) : dialect_(dialect) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&where), sizeof where) != 0) {
            const std::string why = std::strerror(errno);
            ::close(fd_);
            Fail("connect: " + why);
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
    bool joined() const { return joined_; }

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

    void Receive() {
        char chunk[65536];
        while (true) {
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n > 0) {
                buffer_.append(chunk, static_cast<std::size_t>(n));
                continue;
            }
            if (n == 0) {
                Fail("the server closed a client");
            }
            if (errno == EAGAIN || errno == EINTR) {
                break;
            }
            Fail(std::string("recv: ") + std::strerror(errno));
        }
        const bool welcomed = welcomed_;
        dialect_.Count(buffer_, chats_, welcomed_, joined_);
        if (welcomed_ && !welcomed) {
            Send(dialect_.AfterWelcome());
        }
    }

  private:
    const Dialect& dialect_;
    int fd_ = -1;
    std::string buffer_;
    long chats_ = 0;
    bool welcomed_ = false;
    bool joined_ = false;
};

using Clients = std::vector<std::unique_ptr<BenchClient>>;

// Reads from every client until `done` holds; fails when nothing arrives for too long.
template <typename Done>
void Pump(Clients& clients, Done done) {
    std::vector<pollfd> fds(clients.size());
    auto lastProgress = Clock::now();
    while (!done()) {
        for (std::size_t i = 0; i < clients.size(); ++i) {
            fds[i] = {clients[i]->fd(), POLLIN, 0};
        }
        const int ready = ::poll(fds.data(), fds.size(), 1000);
        if (ready > 0) {
            lastProgress = Clock::now();
        } else if (Clock::now() - lastProgress > kStallLimit) {
            Fail("the server stalled");
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                clients[i]->Receive();
            }
        }
    }
}

struct Figures {
    double serverCores = 0;  // CPU time of the servers over the chat phase, per second
    double clientCores = 0;  // the same for this process, whose clients read every delivery
    double redisCores = 0;   // Redis's part of serverCores
    double p50Millis = 0;
    double p99Millis = 0;
    double linesPerSecond = 0;
    double deliveriesPerSecond = 0;
    double cpuMicrosPerDelivery = 0;
    double joinMillis = 0;
    long peakKib = 0;
};

struct Server {
    std::string name;
    std::string path;
    bool irc = false;
};

std::string InspircdConfig(const std::string& dir, std::uint16_t port, int clients) {
    const std::string path = dir + "/inspircd.conf";
    std::ofstream conf(path);
    conf << "<server name=\"bench.local\" description=\"bench\" network=\"Bench\">\n"
         << "<admin name=\"bench\" nick=\"bench\" email=\"bench@localhost\">\n"
         << "<bind address=\"127.0.0.1\" port=\"" << port << "\" type=\"clients\">\n"
         << "<power diepass=\"bench-die\" restartpass=\"bench-restart\">\n"
         // Flood limits lifted: no command rate, no fakelag, queues as large as the relay's.
         << "<connect allow=\"127.0.0.1\" timeout=\"60\" pingfreq=\"3600\" threshold=\"1000000\""
         << " commandrate=\"100000000\" fakelag=\"no\" hardsendq=\"1M\" softsendq=\"1M\""
         << " recvq=\"1M\" localmax=\"" << clients + 10 << "\" globalmax=\"" << clients + 10
         << "\" maxchans=\"20\" limit=\"" << clients + 10
         << "\" resolvehostnames=\"no\" useident=\"no\">\n"
         << "<channels users=\"20\" opers=\"60\">\n"
         << "<dns server=\"127.0.0.1\" timeout=\"1\">\n"
         << "<options syntaxhints=\"no\" announcets=\"no\">\n"
         << "<performance softlimit=\"" << clients + 100
         << "\" clonesonconnect=\"no\" somaxconn=\"1024\" quietbursts=\"yes\">\n"
         << "<security hideserver=\"\" userstats=\"Pu\" maxtargets=\"20\">\n"
         << "<limits maxnick=\"30\" maxchan=\"64\" maxmodes=\"20\" maxident=\"10\""
         << " maxquit=\"255\" maxtopic=\"307\" maxkick=\"255\" maxreal=\"128\" maxaway=\"200\">\n"
         << "<log method=\"file\" type=\"* -USERINPUT -USEROUTPUT\" level=\"default\" target=\""
         << dir << "/inspircd.log\">\n";
    return path;
}

std::unique_ptr<BenchClient> ConnectWithRetry(std::uint16_t port, const Dialect& dialect) {
    const auto deadline = Clock::now() + 10s;
    while (true) {
        try {
            return std::make_unique<BenchClient>(port, dialect);
        } catch (const std::exception&) {
            if (Clock::now() > deadline) {
                throw;
            }
            std::this_thread::sleep_for(20ms);
        }
    }
}

Figures Measure(const Server& server, int n, long deliveryTarget, const std::string& dir) {
    const std::uint16_t port = FreePort();
    std::vector<std::string> args;
    if (server.irc) {
        args = {server.path,   "--nofork", "--nopid",
                "--runasroot", "--config", InspircdConfig(dir, port, n)};
    } else {
        args = {server.path,
                "--listen",
                "127.0.0.1:" + std::to_string(port),
                "--seed",
                "1",
                "--max-clients",
                std::to_string(n + 10),
                "--probe-interval",
                "86400",
                "--probe-timeout",
                "86400"};
    }
    ServerChild child(args);
    std::unique_ptr<Dialect> dialect;
    if (server.irc) {
        dialect = std::make_unique<IrcDialect>();
    } else {
        dialect = std::make_unique<RelayDialect>();
    }
    Clients clients;
    clients.push_back(ConnectWithRetry(port, *dialect));  // waits for the server to listen

    // The join storm: everybody connects and joins at once.
    const auto joinStart = Clock::now();
    clients.front()->Send(dialect->Join(0));
    for (int i = 1; i < n; ++i) {
        clients.push_back(std::make_unique<BenchClient>(port, *dialect));
        clients.back()->Send(dialect->Join(i));
    }
    Pump(clients, [&] {
        return std::all_of(clients.begin(), clients.end(),
                           [](const auto& c) { return c->joined(); });
    });
    const double joinMillis =
        std::chrono::duration<double, std::milli>(Clock::now() - joinStart).count();

    // Receivers: everyone, or everyone but the sender where it does not get its own lines.
    BenchClient& sender = *clients.front();
    const std::size_t firstReceiver = dialect->SenderGetsOwnLine() ? 0 : 1;
    const auto slowest = [&] {
        long s = clients[firstReceiver]->chats();
        for (std::size_t i = firstReceiver; i < clients.size(); ++i) {
            s = std::min(s, clients[i]->chats());
        }
        return s;
    };
    const std::string line = dialect->Chat();
    // One line through to everyone: everything from the joins has been read by then.
    sender.Send(line);
    Pump(clients, [&] { return slowest() == 1; });

    const long receivers = static_cast<long>(clients.size() - firstReceiver);
    const long lines = std::max(1000L, deliveryTarget / receivers);
    const std::uint64_t cpuStart = child.CpuNanos();
    const auto start = Clock::now();
    long sent = 1;
    const long target = 1 + lines;
    std::string burst;
    while (slowest() < target) {
        burst.clear();
        while (sent < target && sent - slowest() < kWindow) {
            burst += line;
            ++sent;
        }
        sender.Send(burst);
        const long before = slowest();
        Pump(clients, [&] { return slowest() > before || slowest() == target; });
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::uint64_t cpu = child.CpuNanos() - cpuStart;
    clients.clear();
    const rusage usage = child.Stop();

    Figures f;
    f.linesPerSecond = static_cast<double>(lines) / seconds;
    f.deliveriesPerSecond = f.linesPerSecond * static_cast<double>(receivers);
    f.cpuMicrosPerDelivery =
        static_cast<double>(cpu) / 1000.0 / static_cast<double>(lines * receivers);
    f.joinMillis = joinMillis;
    f.peakKib = usage.ru_maxrss;
    return f;
}

bool Answers(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port);
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0;
    ::close(fd);
    return ok;
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) {
        return 0;
    }
    const std::size_t at = std::min(
        values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

// `relays` relays (one: alone; more: a group through a redis-server of its own) with `n`
// clients dealt round-robin over them, all in one channel, the sender on the first relay.
Figures MeasureGroup(const std::string& relay, const std::string& redis, int relays, int n,
                     long deliveryTarget, const std::string& dir) {
    std::vector<std::unique_ptr<ServerChild>> children;
    std::string redisAddress;
    if (relays > 1) {
        const std::uint16_t port = FreePort();
        children.push_back(std::make_unique<ServerChild>(
            std::vector<std::string>{redis, "--port", std::to_string(port), "--bind", "127.0.0.1",
                                     "--save", "", "--appendonly", "no", "--dir", dir}));
        const auto deadline = Clock::now() + 10s;
        while (!Answers(port)) {
            if (Clock::now() > deadline) {
                Fail("redis-server did not start");
            }
            std::this_thread::sleep_for(20ms);
        }
        redisAddress = "127.0.0.1:" + std::to_string(port);
    }
    std::vector<std::uint16_t> ports;
    const int perRelay = (n + relays - 1) / relays;
    for (int r = 0; r < relays; ++r) {
        ports.push_back(FreePort());
        std::vector<std::string> args = {relay,
                                         "--listen",
                                         "127.0.0.1:" + std::to_string(ports.back()),
                                         "--seed",
                                         "1",
                                         "--max-clients",
                                         std::to_string(perRelay + 10),
                                         "--probe-interval",
                                         "86400",
                                         "--probe-timeout",
                                         "86400"};
        if (relays > 1) {
            args.insert(args.end(),
                        {"--redis", redisAddress, "--relay-name", "bench" + std::to_string(r)});
        }
        children.push_back(std::make_unique<ServerChild>(args));
    }
    const RelayDialect dialect;
    Clients clients;
    for (const std::uint16_t port : ports) {
        ConnectWithRetry(port, dialect);  // waits for the relay to listen
    }
    if (relays > 1) {
        std::this_thread::sleep_for(300ms);  // and to be in the group
    }
    const auto joinStart = Clock::now();
    for (int i = 0; i < n; ++i) {
        clients.push_back(
            std::make_unique<BenchClient>(ports[static_cast<std::size_t>(i % relays)], dialect));
        clients.back()->Send(dialect.Join(i));
    }
    Pump(clients, [&] {
        return std::all_of(clients.begin(), clients.end(),
                           [](const auto& c) { return c->joined(); });
    });
    const double joinMillis =
        std::chrono::duration<double, std::milli>(Clock::now() - joinStart).count();

    BenchClient& sender = *clients.front();
    const auto slowest = [&] {
        long s = clients.front()->chats();
        for (const auto& c : clients) {
            s = std::min(s, c->chats());
        }
        return s;
    };
    const std::string line = dialect.Chat();
    sender.Send(line);
    Pump(clients, [&] { return slowest() == 1; });

    const long receivers = static_cast<long>(clients.size());
    const long lines = std::max(500L, deliveryTarget / receivers);
    const auto cpuNow = [&] {
        std::uint64_t total = 0;
        for (const auto& c : children) {
            total += c->CpuNanos();
        }
        return total;
    };
    const auto selfNanos = [] {
        rusage u{};
        ::getrusage(RUSAGE_SELF, &u);
        return (static_cast<std::uint64_t>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1'000'000 +
                static_cast<std::uint64_t>(u.ru_utime.tv_usec + u.ru_stime.tv_usec)) *
               1000;
    };
    const auto redisNow = [&] { return relays > 1 ? children.front()->CpuNanos() : 0; };
    const std::uint64_t redisStart = redisNow();
    const std::uint64_t cpuStart = cpuNow();
    const std::uint64_t selfStart = selfNanos();
    const auto start = Clock::now();
    long sent = 1;
    const long target = 1 + lines;
    std::vector<Clock::time_point> sentAt(static_cast<std::size_t>(target + 1));
    std::vector<double> latencies;
    latencies.reserve(static_cast<std::size_t>(lines));
    long done = 1;
    std::string burst;
    while (slowest() < target) {
        burst.clear();
        const Clock::time_point now = Clock::now();
        while (sent < target && sent - slowest() < kWindow) {
            burst += line;
            ++sent;
            sentAt[static_cast<std::size_t>(sent)] = now;
        }
        sender.Send(burst);
        const long before = slowest();
        Pump(clients, [&] { return slowest() > before || slowest() == target; });
        const Clock::time_point reached = Clock::now();
        for (const long all = slowest(); done < all; ++done) {
            latencies.push_back(std::chrono::duration<double, std::milli>(
                                    reached - sentAt[static_cast<std::size_t>(done + 1)])
                                    .count());
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const std::uint64_t cpu = cpuNow() - cpuStart;
    const std::uint64_t redisCpu = redisNow() - redisStart;
    const std::uint64_t self = selfNanos() - selfStart;
    clients.clear();
    children.clear();

    Figures f;
    f.linesPerSecond = static_cast<double>(lines) / seconds;
    f.deliveriesPerSecond = f.linesPerSecond * static_cast<double>(receivers);
    f.cpuMicrosPerDelivery =
        static_cast<double>(cpu) / 1000.0 / static_cast<double>(lines * receivers);
    f.joinMillis = joinMillis;
    f.serverCores = static_cast<double>(cpu) / 1e9 / seconds;
    f.clientCores = static_cast<double>(self) / 1e9 / seconds;
    f.redisCores = static_cast<double>(redisCpu) / 1e9 / seconds;
    f.p50Millis = Percentile(latencies, 0.50);
    f.p99Millis = Percentile(latencies, 0.99);
    return f;
}

int RunCluster(const std::string& relay, const std::string& redis, const std::vector<int>& sizes,
               long deliveries, const std::string& dir) {
    // srv_cpus: cores the relays and Redis used over the chat phase; cli_cpus: the same for
    // this process, whose clients read every delivery. Their sum shows how much of the
    // machine was left; redis_cpus: Redis's part of srv_cpus.
    std::printf("%5s  %-17s %9s %13s %11s %8s %8s %8s %8s %8s %10s\n", "N", "setup", "lines/s",
                "deliveries/s", "cpu_us/dlv", "p50_ms", "p99_ms", "join_ms", "srv_cpus", "cli_cpus",
                "redis_cpus");
    int failures = 0;
    for (const int n : sizes) {
        std::optional<Figures> one;
        for (const int relays : {1, 3}) {
            const std::string name = relays == 1 ? "one relay" : "3 relays + redis";
            if (relays == 1 && n > 999) {
                std::printf("%5d  %-17s cannot: one relay numbers at most 999 clients\n", n,
                            name.c_str());
                continue;
            }
            try {
                const Figures f = MeasureGroup(relay, redis, relays, n, deliveries, dir);
                std::string ratio;
                if (relays == 1) {
                    one = f;
                } else if (one) {
                    char text[64];
                    std::snprintf(text, sizeof text, "  x%.2f deliveries/s, x%.2f cpu/dlv",
                                  f.deliveriesPerSecond / one->deliveriesPerSecond,
                                  f.cpuMicrosPerDelivery / one->cpuMicrosPerDelivery);
                    ratio = text;
                }
                std::printf(
                    "%5d  %-17s %9.0f %13.0f %11.3f %8.2f %8.2f %8.1f %8.2f %8.2f %10.2f%s\n", n,
                    name.c_str(), f.linesPerSecond, f.deliveriesPerSecond, f.cpuMicrosPerDelivery,
                    f.p50Millis, f.p99Millis, f.joinMillis, f.serverCores, f.clientCores,
                    f.redisCores, ratio.c_str());
            } catch (const std::exception& e) {
                std::printf("%5d  %-17s failed: %s\n", n, name.c_str(), e.what());
                ++failures;
            }
            std::fflush(stdout);
        }
    }
    return failures == 0 ? 0 : 1;
}

std::vector<int> ParseSizes(const std::string& text) {
    std::vector<int> sizes;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        sizes.push_back(std::stoi(item));
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<Server> servers = {{"relay", TESSEL_RELAY_BINARY, false}};
    std::string inspircd = "/usr/sbin/inspircd";
    std::vector<int> sizes = {10, 100, 500};
    long deliveries = 2'000'000;
    bool cluster = false;
    bool sized = false;
    bool counted = false;
    std::string redis = "/usr/bin/redis-server";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--relay" && hasValue) {
            servers.front().path = argv[++i];
        } else if (arg == "--baseline" && hasValue) {
            servers.push_back({"relay-before", argv[++i], false});
        } else if (arg == "--inspircd" && hasValue) {
            inspircd = argv[++i];
        } else if (arg == "--sizes" && hasValue) {
            sizes = ParseSizes(argv[++i]);
            sized = true;
        } else if (arg == "--deliveries" && hasValue) {
            deliveries = std::stol(argv[++i]);
            counted = true;
        } else if (arg == "--cluster") {
            cluster = true;
        } else if (arg == "--redis-server" && hasValue) {
            redis = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: relay_bench [--relay PATH] [--baseline PATH] "
                         "[--inspircd PATH|none] [--sizes 10,100,500] [--deliveries D]\n"
                         "       relay_bench --cluster [--relay PATH] [--redis-server PATH] "
                         "[--sizes 300,900,1500] [--deliveries D]\n");
            return 2;
        }
    }
    if (cluster) {
        if (::access(redis.c_str(), X_OK) != 0) {
            std::fprintf(stderr, "relay_bench: no redis-server at %s\n", redis.c_str());
            return 1;
        }
        char clusterTemplate[] = "/tmp/relay-bench-XXXXXX";
        const char* clusterDir = ::mkdtemp(clusterTemplate);
        if (clusterDir == nullptr) {
            std::perror("mkdtemp");
            return 1;
        }
        ::signal(SIGPIPE, SIG_IGN);
        const int status = RunCluster(servers.front().path, redis,
                                      sized ? sizes : std::vector<int>{300, 900, 1500},
                                      counted ? deliveries : 1'000'000, clusterDir);
        ::rmdir(clusterDir);
        return status;
    }
    const bool withIrc = inspircd != "none" && ::access(inspircd.c_str(), X_OK) == 0;
    if (withIrc) {
        servers.push_back({"inspircd", inspircd, true});
    } else {
        std::printf("no inspircd to run: the IRC comparison is left out\n");
    }
    char dirTemplate[] = "/tmp/relay-bench-XXXXXX";
    const char* dir = ::mkdtemp(dirTemplate);
    if (dir == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    ::signal(SIGPIPE, SIG_IGN);

    std::printf("%5s  %-13s %10s %13s %11s %9s %9s %s\n", "N", "server", "lines/s", "deliveries/s",
                "cpu_us/dlv", "join_ms", "peak_KiB", withIrc ? "cpu vs inspircd" : "");
    int failures = 0;
    for (const int n : sizes) {
        std::vector<std::optional<Figures>> results;
        for (const Server& server : servers) {
            try {
                results.push_back(Measure(server, n, deliveries, dir));
            } catch (const std::exception& e) {
                std::printf("%5d  %-13s failed: %s\n", n, server.name.c_str(), e.what());
                results.push_back(std::nullopt);
                ++failures;
            }
        }
        const double ircCpu =
            withIrc && results.back() ? results.back()->cpuMicrosPerDelivery : 0.0;
        for (std::size_t i = 0; i < servers.size(); ++i) {
            if (!results[i]) {
                continue;
            }
            const Figures& f = *results[i];
            std::string ratio;
            if (ircCpu > 0) {
                char text[32];
                std::snprintf(text, sizeof text, "%.2f", f.cpuMicrosPerDelivery / ircCpu);
                ratio = text;
            }
            std::printf("%5d  %-13s %10.0f %13.0f %11.3f %9.1f %9ld %s\n", n,
                        servers[i].name.c_str(), f.linesPerSecond, f.deliveriesPerSecond,
                        f.cpuMicrosPerDelivery, f.joinMillis, f.peakKib, ratio.c_str());
        }
        std::fflush(stdout);
    }
    std::string cleanup = dir;
    ::unlink((cleanup + "/inspircd.conf").c_str());
    ::unlink((cleanup + "/inspircd.log").c_str());
    ::rmdir(dir);
    return failures == 0 ? 0 : 1;
}
