// SPDX-License-Identifier: MIT

#include "relay/RelayServer.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <span>
#include <utility>

#include "protocol/Words.h"

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

// How often a loop with requests waiting for a slow reader looks whether that reader has
// stopped reading altogether.
constexpr int kHeldCheckMillis = 500;

// Requests whose output to each recipient can be many times their own size.
bool Amplifies(const Request& request) {
    return !request.malformed &&
           (request.code == CommandCode::Roll || request.code == CommandCode::ReRoll ||
            request.code == CommandCode::FakeRoll);
}

std::string NotLogged(int held, std::string_view what) {
    return held > 0 ? "; " + std::to_string(held) + " " + std::string(what) + " not logged" : "";
}

std::string Describe(const Request& request) {
    if (!request.line.empty()) {
        std::string quoted = "'";
        quoted.append(LogText(request.line)).append("'");
        return quoted;
    }
    return "a message";  // the reason follows with the refusal
}

RelayConfig Named(RelayConfig config) {
    if (config.redisHost && config.relayName.empty()) {
        config.relayName = DefaultRelayName();
    }
    return config;
}

}  // namespace

RelayServer::RelayServer(const RelayConfig& config, LogSink log)
    : config_(Named(config)),
      log_(std::move(log)),
      handler_(config_, MakeDiceSource(config_.seed)),
      scratch_(kReadChunkBytes) {
    if (config_.redisHost) {
        group_ = std::make_unique<RelayGroup>(config_, log_);
    }
}

bool RelayServer::CheckGroup(std::string& error) {
    return !group_ || group_->Check(error);
}

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
    std::vector<Connection*> polled;  // polled[i] belongs to fds[i + first]
    if (group_) {
        GroupTurn(Clock::now());
    }
    while (true) {
        Clock::time_point now = Clock::now();
        const bool accepting = now >= acceptPausedUntil_;
        fds.clear();
        polled.clear();
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({listener_->fd(), static_cast<short>(accepting ? POLLIN : 0), 0});
        if (group_) {
            group_->AddPoll(fds);
        }
        const std::size_t first = fds.size();
        for (const std::unique_ptr<Connection>& c : connections_) {
            // Input already taken but not yet served is served first; its socket waits.
            short events = c->hasUnread() || c->held() || c->awaiting() ? 0 : POLLIN;
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
        if (group_) {
            group_->OnPoll(std::span<const pollfd>(fds).subspan(2, first - 2), now);
            ServeGroupEvents(now);
        }
        for (std::size_t i = 0; i < polled.size(); ++i) {
            Connection& c = *polled[i];
            const short revents = fds[i + first].revents;
            if (c.open() && (c.held() || c.awaiting()) && (revents & (POLLHUP | POLLERR))) {
                Disconnect(c, "closed by the client", true, false, now);
            } else if (c.open() && c.awaiting()) {
                continue;
            } else if (c.open() &&
                       (c.hasUnread() || c.held() || (revents & (POLLIN | POLLHUP | POLLERR)))) {
                ServeInput(c, now);
            }
        }
        std::vector<int> silent;
        Output probes;
        handler_.Tick(now, silent, probes);
        Deliver(std::move(probes), now);
        for (const int n : silent) {
            if (Connection* c = byNumber_[n]) {
                Disconnect(*c, "no answer to a probe", true, false, now);
            }
        }
        if (group_) {
            GroupTurn(now);
        }
        FlushAll(now);
        Sweep();
    }
    Log("stopping with " + std::to_string(handler_.users().count()) + " clients connected");
    if (group_) {
        group_->Leave();
    }
    connections_.clear();
    return 0;
}

int RelayServer::PollTimeout(Clock::time_point now) const {
    bool holding = false;
    for (const std::unique_ptr<Connection>& c : connections_) {
        if (!c->open() || c->awaiting()) {
            continue;
        }
        if (c->held()) {
            // Nothing wakes the loop when the reader it waits for has caught up.
            if (!ReachesCongestion(*c)) {
                return 0;
            }
            holding = true;
        } else if (c->hasUnread()) {
            return 0;
        }
    }
    std::optional<Clock::time_point> next = handler_.NextDeadline();
    if (group_) {
        if (const std::optional<Clock::time_point> g = group_->NextDeadline(now)) {
            next = next ? std::min(*next, *g) : *g;
        }
    }
    if (holding) {
        const Clock::time_point check = now + std::chrono::milliseconds(kHeldCheckMillis);
        next = next ? std::min(*next, check) : check;
    }
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
        Output out;
        const std::optional<int> number = handler_.Connect(now, out);
        if (!number) {
            Log("refused connection from " + accepted.peer + ": " +
                std::to_string(handler_.users().count()) + " clients connected already");
            continue;  // the socket closes as `accepted` goes
        }
        auto connection = std::make_unique<Connection>(std::move(accepted.fd), accepted.peer, now);
        connection->setNumber(*number);
        byNumber_[*number] = connection.get();
        connections_.push_back(std::move(connection));
        Log("client " + std::to_string(*number) + " connected from " + accepted.peer);
        Deliver(std::move(out), now);
    }
}

void RelayServer::ServeInput(Connection& connection, Clock::time_point now) {
    if (connection.held()) {
        // Only a request that had to wait for a slow reader is ever held; it goes first.
        if (ServeOrHold(connection, *connection.TakeHeld(), now)) {
            return;
        }
    }
    if (!connection.open()) {
        return;
    }
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
                       true, false, now);
            return;
        case ReadStatus::Failed:
            Disconnect(connection, std::string("read failed: ") + std::strerror(errno), true, false,
                       now);
            return;
    }
    for (int served = 0; served < kRequestsPerTurn && connection.open() && !data.empty() &&
                         !connection.held() && !connection.awaiting();) {
        std::optional<ReaderEvent> event = connection.reader().Next(data);
        if (!event) {
            break;
        }
        ++served;
        switch (event->kind) {
            case ReaderEventKind::Message:
                ServeOrHold(connection, ParseRequest(std::move(event->message)), now);
                break;
            case ReaderEventKind::Noise:
                Serve(connection, NoiseRequest(event->reason), now);
                break;
            case ReaderEventKind::Broken: {
                Request request = NoiseRequest(event->reason);
                request.malformed = ResponseCode::BadParameter;
                Serve(connection, request, now);
                if (connection.open()) {
                    Disconnect(connection, "cannot frame its stream: " + event->reason, true, true,
                               now);
                }
                break;
            }
        }
    }
    if (connection.open()) {
        connection.Keep(data);
    }
}

bool RelayServer::ServeOrHold(Connection& sender, const Request& request, Clock::time_point now) {
    if (AwaitGroup(sender, request, now)) {
        return true;
    }
    if (Amplifies(request) && ReachesCongestion(sender)) {
        // A client that has stopped reading would hold the channel up for good.
        const std::vector<int> everyone = handler_.users().connected();
        for (const int n : everyone) {
            Connection* c = byNumber_[n];
            if (c != nullptr && c->open() && c->stalled(now)) {
                Disconnect(*c,
                           "not reading: " + std::to_string(c->queuedBytes()) +
                               " bytes waiting and none taken for " +
                               std::to_string(kStallTimeout.count() / 1000) + " s",
                           true, false, now);
            }
        }
        if (!sender.open()) {
            return true;
        }
        if (ReachesCongestion(sender)) {
            sender.Hold(request);
            return true;
        }
    }
    Serve(sender, request, now);
    return false;
}

bool RelayServer::ReachesCongestion(const Connection& sender) const {
    if (sender.congested()) {
        return true;
    }
    const UserDirectory& users = handler_.users();
    if (!users.active(sender.number())) {
        return false;
    }
    const std::string& channel = users.at(sender.number()).channel;
    if (channel.empty()) {
        return false;
    }
    for (const int n : users.connected()) {
        const Connection* c = byNumber_[n];
        if (c != nullptr && c->congested() && users.at(n).channel == channel) {
            return true;
        }
    }
    return false;
}

void RelayServer::Serve(Connection& connection, const Request& request, Clock::time_point now) {
    const int number = connection.number();
    Output out;
    handler_.Handle(number, request, now, out);
    int held = 0;
    if (!out.refusal.empty() && connection.refusalLog().Allow(now, held)) {
        Log("client " + std::to_string(number) + " refused " + Describe(request) + ": " +
            out.refusal + NotLogged(held, "refusals before this one"));
    }
    const bool close = out.closeSender;
    Deliver(std::move(out), now);
    if (close && connection.open()) {
        Disconnect(connection, "sent CLOSE", false, true, now);
    }
}

void RelayServer::Deliver(Output output, Clock::time_point now) {
    if (group_) {
        group_->Publish(output.publications, now);
        if (output.usersChanged) {
            group_->UsersChanged();
        }
    }
    // Dropping a client that does not read tells the others, which may drop another: what
    // that sends is worked off after the batch in hand rather than by recursion.
    std::vector<Outgoing> batch = std::move(output.messages);
    std::vector<Outgoing> later;
    while (!batch.empty()) {
        for (Outgoing& m : batch) {
            if (m.userList) {
                userList_ = std::move(m.message);
            }
            for (const int to : m.to) {
                Connection* c = to >= 1 && to <= kMaxClientNumber ? byNumber_[to] : nullptr;
                if (c == nullptr || !c->open()) {
                    continue;
                }
                if (m.userList) {
                    c->EnqueueUserList(userList_, now);
                    continue;
                }
                if (c->Enqueue(m.message, now)) {
                    continue;
                }
                Log("client " + std::to_string(to) + " disconnected: output queue full (" +
                    std::to_string(c->queuedBytes()) + " bytes waiting), it is not reading" +
                    NotLogged(c->refusalLog().held(), "refusals"));
                byNumber_[to] = nullptr;
                c->Close();
                Output left;
                handler_.Disconnect(to, left);
                std::move(left.messages.begin(), left.messages.end(), std::back_inserter(later));
            }
        }
        batch = std::exchange(later, {});
    }
}

void RelayServer::Disconnect(Connection& connection, std::string_view reason, bool leave,
                             bool flush, Clock::time_point now) {
    const int number = connection.number();
    if (flush) {
        connection.Flush(now);  // whatever the socket takes now; a closing client gets no wait
    }
    connection.Close();
    if (number >= 1 && number <= kMaxClientNumber && byNumber_[number] == &connection) {
        byNumber_[number] = nullptr;
    }
    Log("client " + std::to_string(number) + " disconnected: " + std::string(reason) +
        NotLogged(connection.refusalLog().held(), "refusals"));
    if (leave) {
        Output left;
        handler_.Disconnect(number, left);
        Deliver(std::move(left), now);
    }
}

void RelayServer::FlushAll(Clock::time_point now) {
    for (const std::unique_ptr<Connection>& c : connections_) {
        if (c->open() && c->hasOutput() && c->Flush(now) == WriteStatus::Failed) {
            Disconnect(*c, std::string("write failed: ") + std::strerror(errno), true, false, now);
        }
    }
}

bool RelayServer::AwaitGroup(Connection& sender, const Request& request, Clock::time_point now) {
    if (!group_ || request.malformed || !handler_.users().active(sender.number())) {
        return false;
    }
    if (request.code == CommandCode::Join) {
        // The client is told it joined once this relay hears the channel.
        const std::string channel(WordAt(request.line, 1));
        if (!handler_.users().at(sender.number()).registered() || channel.size() < 2 ||
            channel.size() > kMaxNameBytes || channel.front() != '#') {
            return false;
        }
        const std::uint64_t serial = ++nextSerial_;
        if (!group_->AwaitJoin(sender.number(), serial, channel)) {
            return false;
        }
        sender.Await(request, serial);
        return true;
    }
    if (request.code != CommandCode::Open) {
        return false;
    }
    // Only a handle the handler would take needs the group's word; it refuses the rest.
    const std::string handle(WordAt(request.line, 2));
    const ClientRecord& record = handler_.users().at(sender.number());
    if (handle.empty() || handle.size() > kMaxNameBytes || handle == record.handle ||
        handler_.users().FindHandle(handle) || !handler_.peers().FindHandle(handle).empty()) {
        return false;
    }
    const std::uint64_t serial = ++nextSerial_;
    if (!group_->ClaimForOpen(sender.number(), serial, handle, now)) {
        return false;  // Redis is away: the handle is checked against what is known here
    }
    sender.Await(request, serial);
    return true;
}

void RelayServer::GroupTurn(Clock::time_point now) {
    group_->Tick(now, handler_);
    ServeGroupEvents(now);
}

void RelayServer::ServeGroupEvents(Clock::time_point now) {
    for (GroupEvent& event : group_->TakeEvents()) {
        Output out;
        switch (event.kind) {
            case GroupEvent::Kind::Message:
                if (event.message.kind == GroupKind::State) {
                    handler_.ReplacePeer(event.message.relay, std::move(event.message.users), out);
                } else {
                    handler_.FromGroup(event.message, out);
                }
                Deliver(std::move(out), now);
                break;
            case GroupEvent::Kind::PeerGone:
                handler_.RemovePeer(event.relay, out);
                Deliver(std::move(out), now);
                break;
            case GroupEvent::Kind::JoinReady:
            case GroupEvent::Kind::OpenAnswered: {
                Connection* c = event.number >= 1 && event.number <= kMaxClientNumber
                                    ? byNumber_[event.number]
                                    : nullptr;
                if (c == nullptr || !c->open() || !c->awaiting() ||
                    c->awaitSerial() != event.serial) {
                    break;  // that client is gone; the claim is given back with its handle
                }
                Request request = *c->TakeAwaited();
                request.handleTakenElsewhere = event.taken;
                Serve(*c, request, now);
                break;
            }
            case GroupEvent::Kind::HandleLost: {
                Connection* c = event.number >= 1 && event.number <= kMaxClientNumber
                                    ? byNumber_[event.number]
                                    : nullptr;
                if (c != nullptr && c->open() && handler_.users().active(event.number) &&
                    handler_.users().at(event.number).handle == event.handle) {
                    Disconnect(*c,
                               "its handle " + LogText(event.handle) +
                                   " belongs to a client of another relay (taken while this "
                                   "relay was out of the group)",
                               true, false, now);
                }
                break;
            }
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
