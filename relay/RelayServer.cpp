#include "relay/RelayServer.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>

namespace tessel::relay {
namespace {

// Connections taken from the listen queue per turn of the loop, so that a storm of
// connects cannot starve the clients already served.
constexpr int kAcceptsPerTurn = 64;
// How long to stop accepting when the process runs out of descriptors, instead of
// spinning on a listener that stays readable.
constexpr std::chrono::milliseconds kAcceptPause{100};
// The longest poll wait, so the loop never sleeps past a deadline it has not seen.
constexpr int kMaxPollMillis = 60'000;

std::string Describe(const Request& request) {
    if (!request.line.empty()) {
        std::string quoted = "'";
        quoted.append(LogText(request.line)).append("'");
        return quoted;
    }
    return "a message";  // the reason follows with the refusal
}

}  // namespace

RelayServer::RelayServer(const RelayConfig& config, LogSink log)
    : config_(config),
      log_(std::move(log)),
      handler_(config, MakeDiceSource(config.seed)),
      scratch_(kReadChunkBytes) {}

RelayServer::~RelayServer() = default;

bool RelayServer::Listen(std::string& error) {
    listener_ = Listener::Open(config_.address, config_.port, error);
    if (listener_) {
        Log("listening on " + config_.address + ":" + std::to_string(listener_->port()));
    }
    return listener_.has_value();
}

std::uint16_t RelayServer::port() const {
    return listener_ ? listener_->port() : 0;
}

int RelayServer::Run(int stopFd) {
    if (!listener_) {
        return 1;
    }
    std::vector<pollfd> fds;
    std::vector<Connection*> polled;  // polled[i] belongs to fds[i + 2]
    while (true) {
        Clock::time_point now = Clock::now();
        const bool accepting = now >= acceptPausedUntil_;
        fds.clear();
        polled.clear();
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({listener_->fd(), static_cast<short>(accepting ? POLLIN : 0), 0});
        for (const std::unique_ptr<Connection>& c : connections_) {
            // Input already taken but not yet served is served first; its socket waits.
            short events = c->hasUnread() ? 0 : POLLIN;
            if (c->hasOutput()) {
                events |= POLLOUT;
            }
            fds.push_back({c->fd(), events, 0});
            polled.push_back(c.get());
        }
        if (::poll(fds.data(), fds.size(), PollTimeout(now)) < 0) {
            if (errno == EINTR) {
                continue;
            }
            Log(std::string("poll failed: ") + std::strerror(errno));
            return 1;
        }
        now = Clock::now();
        if (fds[0].revents != 0) {
            break;
        }
        if (fds[1].revents & POLLIN) {
            AcceptAll(now);
        }
        for (std::size_t i = 0; i < polled.size(); ++i) {
            Connection& c = *polled[i];
            const short revents = fds[i + 2].revents;
            if (c.open() && (c.hasUnread() || (revents & (POLLIN | POLLHUP | POLLERR)))) {
                ServeInput(c, now);
            }
        }
        std::vector<int> silent;
        Outcome probes = handler_.Tick(now, silent);
        Deliver(std::move(probes.deliveries));
        for (const int n : silent) {
            if (Connection* c = byNumber_[n]) {
                Disconnect(*c, "no answer to a probe", true, false);
            }
        }
        FlushAll();
        Sweep();
    }
    Log("stopping with " + std::to_string(handler_.users().count()) + " clients connected");
    connections_.clear();
    return 0;
}

int RelayServer::PollTimeout(Clock::time_point now) const {
    for (const std::unique_ptr<Connection>& c : connections_) {
        if (c->hasUnread()) {
            return 0;
        }
    }
    std::optional<Clock::time_point> next = handler_.NextDeadline();
    if (now < acceptPausedUntil_ && (!next || acceptPausedUntil_ < *next)) {
        next = acceptPausedUntil_;
    }
    if (!next) {
        return -1;
    }
    if (*next <= now) {
        return 0;
    }
    // Round up: waking a little early would only spin until the deadline.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
    return static_cast<int>(std::min<long long>(wait, kMaxPollMillis));
}

void RelayServer::AcceptAll(Clock::time_point now) {
    for (int i = 0; i < kAcceptsPerTurn; ++i) {
        Accepted accepted = listener_->Accept();
        if (accepted.status == AcceptStatus::None) {
            return;
        }
        if (accepted.status == AcceptStatus::Exhausted) {
            Log(std::string("cannot accept for now: ") + std::strerror(accepted.error));
            acceptPausedUntil_ = now + kAcceptPause;
            return;
        }
        Outcome out;
        const std::optional<int> number = handler_.Connect(now, out);
        if (!number) {
            Log("refused connection from " + accepted.peer + ": " +
                std::to_string(handler_.users().count()) + " clients connected already");
            continue;  // the socket closes as `accepted` goes
        }
        auto connection = std::make_unique<Connection>(std::move(accepted.fd), accepted.peer);
        connection->setNumber(*number);
        byNumber_[*number] = connection.get();
        connections_.push_back(std::move(connection));
        Log("client " + std::to_string(*number) + " connected from " + accepted.peer);
        Deliver(std::move(out.deliveries));
    }
}

void RelayServer::ServeInput(Connection& connection, Clock::time_point now) {
    std::string_view data;
    switch (connection.Receive(scratch_, data)) {
        case ReadStatus::Data:
            break;
        case ReadStatus::Nothing:
            return;
        case ReadStatus::Closed:
            Disconnect(connection,
                       connection.reader().idle() ? "closed by the client"
                                                  : "closed by the client in mid-message",
                       true, false);
            return;
        case ReadStatus::Failed:
            Disconnect(connection, std::string("read failed: ") + std::strerror(errno), true,
                       false);
            return;
    }
    for (int served = 0; served < kRequestsPerTurn && connection.open() && !data.empty();) {
        std::optional<ReaderEvent> event = connection.reader().Next(data);
        if (!event) {
            break;
        }
        ++served;
        switch (event->kind) {
            case ReaderEventKind::Message:
                Serve(connection, ParseRequest(std::move(event->message)), now);
                break;
            case ReaderEventKind::Noise:
                Serve(connection, NoiseRequest(event->reason), now);
                break;
            case ReaderEventKind::Broken: {
                Request request = NoiseRequest(event->reason);
                request.malformed = ResponseCode::BadParameter;
                Serve(connection, request, now);
                if (connection.open()) {
                    Disconnect(connection, "cannot frame its stream: " + event->reason, true, true);
                }
                break;
            }
        }
    }
    if (connection.open()) {
        connection.Keep(data);
    }
}

void RelayServer::Serve(Connection& connection, const Request& request, Clock::time_point now) {
    const int number = connection.number();
    Outcome out = handler_.Handle(number, request, now);
    if (!out.refusal.empty()) {
        Log("client " + std::to_string(number) + " refused " + Describe(request) + ": " +
            out.refusal);
    }
    Deliver(std::move(out.deliveries));
    if (out.closeSender && connection.open()) {
        Disconnect(connection, "sent CLOSE", false, true);
    }
}

void RelayServer::Deliver(std::vector<Delivery> deliveries) {
    // Dropping a client that does not read tells the others, which may drop another:
    // worked off as a queue rather than by recursion.
    std::deque<std::vector<Delivery>> work;
    work.push_back(std::move(deliveries));
    while (!work.empty()) {
        std::vector<Delivery> batch = std::move(work.front());
        work.pop_front();
        for (const Delivery& d : batch) {
            Connection* c = d.to >= 1 && d.to <= kMaxClientNumber ? byNumber_[d.to] : nullptr;
            if (c == nullptr || !c->open() || c->Enqueue(d.bytes)) {
                continue;
            }
            Log("client " + std::to_string(d.to) + " disconnected: output queue full (" +
                std::to_string(c->queuedBytes()) + " bytes waiting), it is not reading");
            byNumber_[d.to] = nullptr;
            c->Close();
            work.push_back(handler_.Disconnect(d.to).deliveries);
        }
    }
}

void RelayServer::Disconnect(Connection& connection, std::string_view reason, bool leave,
                             bool flush) {
    const int number = connection.number();
    if (flush) {
        connection.Flush();  // whatever the socket takes now; a closing client gets no wait
    }
    connection.Close();
    if (number >= 1 && number <= kMaxClientNumber && byNumber_[number] == &connection) {
        byNumber_[number] = nullptr;
    }
    Log("client " + std::to_string(number) + " disconnected: " + std::string(reason));
    if (leave) {
        Deliver(handler_.Disconnect(number).deliveries);
    }
}

void RelayServer::FlushAll() {
    for (const std::unique_ptr<Connection>& c : connections_) {
        if (c->open() && c->hasOutput() && c->Flush() == WriteStatus::Failed) {
            Disconnect(*c, std::string("write failed: ") + std::strerror(errno), true, false);
        }
    }
}

void RelayServer::Sweep() {
    std::erase_if(connections_, [](const std::unique_ptr<Connection>& c) { return !c->open(); });
}

void RelayServer::Log(std::string line) const {
    if (log_) {
        log_(line);
    }
}

}  // namespace tessel::relay
