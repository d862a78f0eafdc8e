// SPDX-License-Identifier: MIT

#include "relay/RelayGroup.h"

#include <arpa/inet.h>
#include <hiredis/async.h>
#include <hiredis/hiredis.h>
#include <netdb.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <utility>

namespace tessel::relay {
namespace {

constexpr std::string_view kPrefix = "tessel:";
// Every key of the group carries one Redis Cluster hash tag: they all live in one slot, so
// the commands connection talks to the one node that holds them (pub/sub works on any).
constexpr std::string_view kKeyPrefix = "{tessel}:";

// Claims a key for its owner, or refreshes the claim when the owner holds it already:
// 1 when the key is the owner's, 0 when someone else holds it.
constexpr std::string_view kClaimScript =
    "local v = redis.call('GET', KEYS[1]) "
    "if v == false or v == ARGV[1] then "
    "redis.call('SET', KEYS[1], ARGV[1], 'PX', ARGV[2]) return 1 end "
    "return 0";
// Deletes a key only while it is still the owner's.
constexpr std::string_view kReleaseScript =
    "if redis.call('GET', KEYS[1]) == ARGV[1] then return redis.call('DEL', KEYS[1]) end "
    "return 0";

// Rejected entries of the ignored-message log: a burst, then one line per window.
constexpr int kIgnoredLogBurst = 16;
constexpr std::chrono::milliseconds kIgnoredLogWindow{10'000};
constexpr std::chrono::milliseconds kDropLogInterval{1'000};
// How long a stopping relay waits for Redis to take its goodbye.
constexpr int kLeavePolls = 40;
constexpr int kLeavePollMillis = 25;

}  // namespace

std::string DefaultRelayName() {
    char host[256] = {};
    std::string name;
    if (::gethostname(host, sizeof host - 1) == 0) {
        for (const char c : std::string_view(host)) {
            name.push_back(ValidRelayName(std::string_view(&c, 1)) ? c : '-');
        }
    }
    name = name.substr(0, 30);
    if (name.empty()) {
        name = "relay";
    }
    return name + "-" + std::to_string(::getpid());
}

namespace {

std::string MakeNonce() {
    const auto ticks = std::chrono::system_clock::now().time_since_epoch().count();
    return std::to_string(::getpid()) + "." + std::to_string(ticks);
}

bool IsInteger(const redisReply* reply, long long value) {
    return reply != nullptr && reply->type == REDIS_REPLY_INTEGER && reply->integer == value;
}

struct ContextFree {
    void operator()(redisContext* c) const { redisFree(c); }
};
struct ReplyFree {
    void operator()(void* r) const { freeReplyObject(r); }
};

}  // namespace

RelayGroup::RelayGroup(const RelayConfig& config, LogSink log)
    : config_(config),
      log_(std::move(log)),
      name_(config.relayName.empty() ? DefaultRelayName() : config.relayName),
      nonce_(MakeNonce()),
      host_(config.redisHost.value_or("")),
      port_(config.redisPort),
      groupChannel_(std::string(kPrefix) + "group"),
      relayChannel_(std::string(kPrefix) + "relay:" + name_),
      ignoredLog_(kIgnoredLogBurst, kIgnoredLogWindow) {}

RelayGroup::~RelayGroup() {
    // Closing runs the callbacks of what is still waiting, which use the members.
    commands_.Close();
    subscriber_.Close();
}

std::chrono::milliseconds RelayGroup::StallTimeout() const {
    // Never longer than a registration lives: a relay stuck on a silent Redis would keep
    // listing users the others have already forgotten.
    return std::min(kRedisStallTimeout, config_.groupExpiry);
}

std::string RelayGroup::ChannelKey(std::string_view channel) const {
    // The braces are a Redis Cluster hash tag: everything of one tessel channel lives on
    // one shard.
    return std::string(kPrefix) + "chan:{" + std::string(channel) + "}";
}

std::string RelayGroup::HandleKey(std::string_view handle) const {
    return std::string(kKeyPrefix) + "handle:" + std::string(handle);
}

std::string RelayGroup::Owner(int number) const {
    return name_ + " " + nonce_ + " " + std::to_string(number);
}

bool RelayGroup::Check(std::string& error) {
    // Name lookups block: done once here, so that reconnecting later never waits on DNS.
    if (!Resolve(error)) {
        return false;
    }
    // A Redis Cluster node that does not hold the group's keys names the one that does.
    for (int hop = 0; hop < 2; ++hop) {
        std::string movedTo;
        if (CheckAt(error, movedTo)) {
            return true;
        }
        if (movedTo.empty() || !SetAddress(movedTo)) {
            return false;
        }
    }
    return false;
}

bool RelayGroup::CheckAt(std::string& error, std::string& movedTo) {
    const std::string where = host_ + ":" + std::to_string(port_);
    const auto timeout =
        std::chrono::duration_cast<std::chrono::microseconds>(kRedisConnectTimeout);
    const timeval tv{static_cast<time_t>(timeout.count() / 1'000'000),
                     static_cast<suseconds_t>(timeout.count() % 1'000'000)};
    std::unique_ptr<redisContext, ContextFree> c(redisConnectWithTimeout(host_.c_str(), port_, tv));
    if (!c || c->err != 0) {
        error = "cannot reach Redis at " + where + ": " + (c ? c->errstr : "out of memory");
        return false;
    }
    redisSetTimeout(c.get(), tv);
    const std::string key = std::string(kKeyPrefix) + "relay:" + name_;
    const std::string expiry = std::to_string(config_.groupExpiry.count());
    std::unique_ptr<void, ReplyFree> raw(redisCommand(
        c.get(), "EVAL %b 1 %b %b %b", kClaimScript.data(), kClaimScript.size(), key.data(),
        key.size(), nonce_.data(), nonce_.size(), expiry.data(), expiry.size()));
    const auto* reply = static_cast<const redisReply*>(raw.get());
    if (reply == nullptr) {
        error = "Redis at " + where + " does not answer: " + c->errstr;
        return false;
    }
    if (reply->type == REDIS_REPLY_ERROR) {
        const std::string_view text(reply->str, reply->len);
        movedTo = MovedTo(text);
        error = "Redis at " + where + " refused to register this relay: " + std::string(text);
        return false;
    }
    if (!IsInteger(reply, 1)) {
        error = "a relay named '" + name_ + "' is already in the group at " + where +
                " (a stopped one is forgotten after " +
                std::to_string(config_.groupExpiry.count() / 1000) + " s)";
        return false;
    }
    return true;
}

bool RelayGroup::Resolve(std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int status = ::getaddrinfo(host_.c_str(), nullptr, &hints, &found);
    if (status != 0 || found == nullptr) {
        error = "cannot reach Redis at " + host_ + ":" + std::to_string(port_) + ": " +
                ::gai_strerror(status);
        return false;
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owned(found, ::freeaddrinfo);
    // IPv4 first: "localhost" may list ::1 first while Redis listens on 127.0.0.1 only.
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_family == AF_INET) {
            found = a;
            break;
        }
    }
    char text[INET6_ADDRSTRLEN] = {};
    const void* address =
        found->ai_family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(found->ai_addr)->sin6_addr)
            : static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr);
    if (::inet_ntop(found->ai_family, address, text, sizeof text) != nullptr) {
        host_ = text;
    }
    return true;
}

std::string RelayGroup::MovedTo(std::string_view error) {
    // "MOVED <slot> <host>:<port>" (or ASK, during a slot migration).
    if (!error.starts_with("MOVED ") && !error.starts_with("ASK ")) {
        return {};
    }
    const std::size_t space = error.rfind(' ');
    return std::string(error.substr(space + 1));
}

bool RelayGroup::SetAddress(const std::string& address) {
    const std::size_t colon = address.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    int port = 0;
    const std::string_view digits = std::string_view(address).substr(colon + 1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), port);
    if (ec != std::errc{} || end != digits.data() + digits.size() || port < 1 || port > 65535) {
        return false;
    }
    host_ = address.substr(0, colon);
    port_ = port;
    return true;
}

void RelayGroup::AddPoll(std::vector<pollfd>& fds) const {
    commands_.AddPoll(fds);
    subscriber_.AddPoll(fds);
}

void RelayGroup::OnPoll(std::span<const pollfd> fds, Clock::time_point) {
    for (const pollfd& p : fds) {
        if (p.revents == 0) {
            continue;
        }
        if (commands_.alive() && p.fd == commands_.fd()) {
            commands_.OnPoll(p.revents);
        } else if (subscriber_.alive() && p.fd == subscriber_.fd()) {
            subscriber_.OnPoll(p.revents);
        }
    }
}

std::optional<RelayGroup::Clock::time_point> RelayGroup::NextDeadline(Clock::time_point now) const {
    std::optional<Clock::time_point> next;
    const auto take = [&next](Clock::time_point t) { next = next ? std::min(*next, t) : t; };
    switch (state_) {
        case State::Offline:
            take(retryAt_);
            break;
        case State::Connecting:
            take(std::min(commands_.openedAt(), subscriber_.openedAt()) + kRedisConnectTimeout);
            break;
        case State::Online:
            take(heartbeatAt_);
            if (!pending_.empty()) {
                take(pending_.front().sentAt + StallTimeout());
            }
            if (stateDirty_ && subscribing_ == 0) {
                take(now);
            }
            break;
    }
    for (const auto& [relay, seen] : peerSeen_) {
        take(seen + config_.groupExpiry);
    }
    return next;
}

void RelayGroup::Tick(Clock::time_point now, const RequestHandler& handler) {
    switch (state_) {
        case State::Offline:
            if (now >= retryAt_) {
                Connect(now);
            }
            break;
        case State::Connecting:
            if (answered_ && subscriber_.connected()) {
                Joined(now);
            } else if (commands_.connected() && !helloSent_) {
                helloSent_ = Send(Reply::Hello, {"PING"}, now);
            } else if (!commands_.alive() || !subscriber_.alive()) {
                GoOffline(commands_.alive() ? subscriber_.error() : commands_.error(), now);
            } else if (now - std::min(commands_.openedAt(), subscriber_.openedAt()) >=
                       kRedisConnectTimeout) {
                GoOffline("no answer within " +
                              std::to_string(kRedisConnectTimeout.count() / 1000) + " s",
                          now);
            }
            break;
        case State::Online:
            if (!commands_.connected() || !subscriber_.connected()) {
                GoOffline(commands_.connected() ? subscriber_.error() : commands_.error(), now);
            } else if (!pending_.empty() && now - pending_.front().sentAt >= StallTimeout()) {
                GoOffline("no answer for " + std::to_string(StallTimeout().count()) + " ms", now);
            }
            break;
    }
    if (!movedTo_.empty()) {
        // The slot of the group's keys moved to another node (a failover, a reshard).
        const std::string to = std::exchange(movedTo_, {});
        if (state_ != State::Offline && SetAddress(to)) {
            GoOffline("the group's keys are now at " + to, now);
            retryAt_ = now;
        }
    }
    ExpirePeers(now);
    if (state_ != State::Online) {
        return;
    }
    Subscribe(handler.users());
    SyncClaims(handler.users(), now);
    if (now >= heartbeatAt_) {
        Heartbeat(handler, now);
    } else if (stateDirty_ && subscribing_ == 0) {
        PublishState(handler, now);
    }
}

void RelayGroup::Connect(Clock::time_point now) {
    std::string error;
    if (!commands_.Open(host_, port_, this, error) ||
        !subscriber_.Open(host_, port_, this, error)) {
        GoOffline(error, now);
        return;
    }
    state_ = State::Connecting;
    helloSent_ = false;
    answered_ = false;
}

void RelayGroup::GoOffline(const std::string& why, Clock::time_point now) {
    const bool wasOnline = state_ == State::Online;
    state_ = State::Offline;
    retryAt_ = now + kRedisRetryInterval;
    // Commands still waiting are answered with nothing; an OPEN waiting on its claim is
    // then served from what this relay knows.
    commands_.Close();
    subscriber_.Close();
    pending_.clear();
    pendingBytes_ = 0;
    subscribed_.clear();
    heard_.clear();
    subscribing_ = 0;
    ReleaseJoins({});  // served as if alone
    const std::string where = host_ + ":" + std::to_string(port_);
    if (wasOnline) {
        Log("lost Redis at " + where + " (" + why +
            "): serving this relay's clients alone, trying again every " +
            std::to_string(kRedisRetryInterval.count() / 1000) + " s");
    } else if (lostReason_ != why) {
        Log("cannot reach Redis at " + where + " (" + why + "), trying again");
    }
    lostReason_ = why;
}

void RelayGroup::Joined(Clock::time_point now) {
    state_ = State::Online;
    lostReason_.clear();
    const std::string where = host_ + ":" + std::to_string(port_);
    Log(std::string(everJoined_ ? "back in" : "joined") + " the group at " + where + " as " +
        name_);
    everJoined_ = true;
    // Whatever Redis held may be gone (a restarted server) or expired (a long outage):
    // every handle is claimed again, and one another relay's client took meanwhile is lost.
    claimed_.clear();
    stateDirty_ = true;
    heartbeatAt_ = now;
    GroupMessage sync;
    sync.kind = GroupKind::Sync;
    sync.relay = name_;
    Send(Reply::Other, {"PUBLISH", groupChannel_, EncodeGroupMessage(sync)}, now);
}

void RelayGroup::Subscribe(const UserDirectory& users) {
    std::set<std::string, std::less<>> wanted = {groupChannel_, relayChannel_};
    for (const int n : users.connected()) {
        if (!users.at(n).channel.empty()) {
            wanted.insert(ChannelKey(users.at(n).channel));
        }
    }
    for (const Joining& j : joining_) {
        wanted.insert(j.key);
    }
    for (const std::string& channel : wanted) {
        if (!subscribed_.contains(channel) &&
            subscriber_.Command(OnSubscription, nullptr, {"SUBSCRIBE", channel})) {
            subscribed_.insert(channel);
            ++subscribing_;
        }
    }
    for (auto it = subscribed_.begin(); it != subscribed_.end();) {
        if (wanted.contains(*it)) {
            ++it;
            continue;
        }
        // Its answer comes through the callback given with SUBSCRIBE.
        subscriber_.Command(nullptr, nullptr, {"UNSUBSCRIBE", *it});
        heard_.erase(*it);
        it = subscribed_.erase(it);
    }
}

void RelayGroup::SyncClaims(const UserDirectory& users, Clock::time_point now) {
    const std::string expiry = std::to_string(config_.groupExpiry.count());
    for (auto it = claimed_.begin(); it != claimed_.end();) {
        const auto [number, handle] = *it;
        if (users.active(number) && users.at(number).handle == handle) {
            ++it;
            continue;
        }
        Send(Reply::Other, {"EVAL", kReleaseScript, "1", HandleKey(handle), Owner(number)}, now);
        it = claimed_.erase(it);
    }
    for (const int n : users.connected()) {
        const ClientRecord& r = users.at(n);
        if (!r.registered() || claimed_.contains(n) || opening_.contains(n)) {
            continue;
        }
        claimed_[n] = r.handle;
        Send(Reply::Claim, {"EVAL", kClaimScript, "1", HandleKey(r.handle), Owner(n), expiry}, now,
             n, 0, r.handle);
    }
}

void RelayGroup::Heartbeat(const RequestHandler& handler, Clock::time_point now) {
    heartbeatAt_ = now + config_.groupExpiry / 3;
    const std::string expiry = std::to_string(config_.groupExpiry.count());
    Send(Reply::Claim,
         {"EVAL", kClaimScript, "1", std::string(kKeyPrefix) + "relay:" + name_, nonce_, expiry},
         now);
    for (const auto& [number, handle] : claimed_) {
        Send(Reply::Claim, {"EVAL", kClaimScript, "1", HandleKey(handle), Owner(number), expiry},
             now, number, 0, handle);
    }
    // The state doubles as this relay's sign of life to the others; it waits for the
    // subscriptions, so no relay lists members of a channel this one does not hear yet.
    if (subscribing_ == 0) {
        PublishState(handler, now);
    } else {
        stateDirty_ = true;
    }
}

void RelayGroup::PublishState(const RequestHandler& handler, Clock::time_point now) {
    GroupMessage state;
    state.kind = GroupKind::State;
    state.relay = name_;
    state.users = handler.LocalUsers();
    const std::string bytes = EncodeGroupMessage(state);
    Send(Reply::Other,
         {"SET", std::string(kKeyPrefix) + "members:" + name_, bytes, "PX",
          std::to_string(config_.groupExpiry.count())},
         now);
    Send(Reply::Other, {"PUBLISH", groupChannel_, bytes}, now);
    stateDirty_ = false;
}

void RelayGroup::ExpirePeers(Clock::time_point now) {
    for (auto it = peerSeen_.begin(); it != peerSeen_.end();) {
        if (now - it->second < config_.groupExpiry) {
            ++it;
            continue;
        }
        Log("relay " + it->first + " has not been heard from for " +
            std::to_string(config_.groupExpiry.count()) + " ms: its users leave the list");
        GroupEvent gone;
        gone.kind = GroupEvent::Kind::PeerGone;
        gone.relay = it->first;
        events_.push_back(std::move(gone));
        it = peerSeen_.erase(it);
    }
}

void RelayGroup::Publish(const std::vector<Publication>& publications, Clock::time_point now) {
    if (state_ != State::Online) {
        return;  // alone for now: the clients here are served, the others cannot be reached
    }
    for (const Publication& p : publications) {
        if (pendingBytes_ + p.bytes.size() > kMaxRedisPendingBytes) {
            ++dropped_;
            if (now - dropLoggedAt_ >= kDropLogInterval) {
                Log("Redis is " + std::to_string(pendingBytes_) + " bytes behind: " +
                    std::to_string(dropped_) + " messages to other relays dropped");
                dropLoggedAt_ = now;
                dropped_ = 0;
            }
            continue;
        }
        const std::string channel =
            p.toRelay ? std::string(kPrefix) + "relay:" + p.where : ChannelKey(p.where);
        Send(Reply::Other, {"PUBLISH", channel, p.bytes}, now);
    }
}

bool RelayGroup::ClaimForOpen(int number, std::uint64_t serial, const std::string& handle,
                              Clock::time_point now) {
    if (state_ != State::Online) {
        return false;
    }
    const std::string expiry = std::to_string(config_.groupExpiry.count());
    if (!Send(Reply::OpenClaim,
              {"EVAL", kClaimScript, "1", HandleKey(handle), Owner(number), expiry}, now, number,
              serial, handle)) {
        return false;
    }
    opening_.insert(number);
    return true;
}

bool RelayGroup::AwaitJoin(int number, std::uint64_t serial, const std::string& channel) {
    std::string key = ChannelKey(channel);
    if (state_ != State::Online || heard_.contains(key)) {
        return false;
    }
    if (!subscribed_.contains(key)) {
        if (!subscriber_.Command(OnSubscription, nullptr, {"SUBSCRIBE", key})) {
            return false;
        }
        subscribed_.insert(key);
        ++subscribing_;
    }
    joining_.push_back({std::move(key), number, serial});
    return true;
}

void RelayGroup::ReleaseJoins(std::string_view key) {
    std::erase_if(joining_, [&](const Joining& j) {
        if (!key.empty() && j.key != key) {
            return false;
        }
        GroupEvent ready;
        ready.kind = GroupEvent::Kind::JoinReady;
        ready.number = j.number;
        ready.serial = j.serial;
        events_.push_back(std::move(ready));
        return true;
    });
}

std::vector<GroupEvent> RelayGroup::TakeEvents() {
    return std::exchange(events_, {});
}

void RelayGroup::Leave() {
    if (state_ != State::Online) {
        return;
    }
    const Clock::time_point now = Clock::now();
    GroupMessage bye;
    bye.kind = GroupKind::Bye;
    bye.relay = name_;
    Send(Reply::Other, {"PUBLISH", groupChannel_, EncodeGroupMessage(bye)}, now);
    for (const auto& [number, handle] : claimed_) {
        Send(Reply::Other, {"EVAL", kReleaseScript, "1", HandleKey(handle), Owner(number)}, now);
    }
    Send(Reply::Other,
         {"EVAL", kReleaseScript, "1", std::string(kKeyPrefix) + "relay:" + name_, nonce_}, now);
    Send(Reply::Other, {"DEL", std::string(kKeyPrefix) + "members:" + name_}, now);
    claimed_.clear();
    for (int i = 0; i < kLeavePolls && !pending_.empty() && commands_.alive(); ++i) {
        std::vector<pollfd> fds;
        commands_.AddPoll(fds);
        if (fds.empty() || ::poll(fds.data(), fds.size(), kLeavePollMillis) < 0) {
            break;
        }
        commands_.OnPoll(fds[0].revents);
    }
}

bool RelayGroup::Send(Reply kind, std::initializer_list<std::string_view> args,
                      Clock::time_point now, int number, std::uint64_t serial, std::string handle) {
    std::size_t bytes = 0;
    for (const std::string_view a : args) {
        bytes += a.size();
    }
    if (!commands_.Command(OnCommandReply, nullptr, args)) {
        return false;
    }
    pending_.push_back({kind, bytes, now, number, serial, std::move(handle)});
    pendingBytes_ += bytes;
    return true;
}

void RelayGroup::OnCommandReply(redisAsyncContext* context, void* reply, void*) {
    static_cast<RelayGroup*>(context->data)->CommandAnswered(reply);
}

void RelayGroup::CommandAnswered(const void* raw) {
    if (pending_.empty()) {
        return;
    }
    Pending p = std::move(pending_.front());
    pending_.pop_front();
    pendingBytes_ -= std::min(pendingBytes_, p.bytes);
    const auto* reply = static_cast<const redisReply*>(raw);
    if (reply != nullptr && reply->type == REDIS_REPLY_ERROR) {
        if (std::string moved = MovedTo(std::string_view(reply->str, reply->len)); !moved.empty()) {
            movedTo_ = std::move(moved);
        }
        int held = 0;
        if (ignoredLog_.Allow(Clock::now(), held)) {
            Log("Redis refused a command: " + LogText(std::string_view(reply->str, reply->len)));
        }
    }
    switch (p.kind) {
        case Reply::Other:
            break;
        case Reply::Hello:
            answered_ = reply != nullptr && reply->type == REDIS_REPLY_STATUS;
            break;
        case Reply::OpenClaim: {
            opening_.erase(p.number);
            GroupEvent answered;
            answered.kind = GroupEvent::Kind::OpenAnswered;
            answered.number = p.number;
            answered.serial = p.serial;
            answered.taken = IsInteger(reply, 0);
            if (IsInteger(reply, 1)) {
                claimed_[p.number] = p.handle;
            }
            events_.push_back(std::move(answered));
            break;
        }
        case Reply::Claim:
            if (!IsInteger(reply, 0)) {
                break;
            }
            if (p.number == 0) {
                Log("another relay has taken the name " + name_ + " in the group");
                break;
            }
            if (const auto it = claimed_.find(p.number);
                it != claimed_.end() && it->second == p.handle) {
                claimed_.erase(it);
                GroupEvent lost;
                lost.kind = GroupEvent::Kind::HandleLost;
                lost.number = p.number;
                lost.handle = p.handle;
                events_.push_back(std::move(lost));
            }
            break;
    }
}

void RelayGroup::OnSubscription(redisAsyncContext* context, void* reply, void*) {
    const auto* r = static_cast<const redisReply*>(reply);
    if (r == nullptr || r->type != REDIS_REPLY_ARRAY || r->elements != 3 ||
        r->element[0]->type != REDIS_REPLY_STRING || r->element[1]->type != REDIS_REPLY_STRING) {
        return;
    }
    auto* group = static_cast<RelayGroup*>(context->data);
    const std::string_view kind(r->element[0]->str, r->element[0]->len);
    const std::string_view channel(r->element[1]->str, r->element[1]->len);
    if (kind == "subscribe") {
        group->subscribing_ = std::max(0, group->subscribing_ - 1);
        if (group->subscribed_.contains(channel)) {
            group->heard_.emplace(channel);
            group->ReleaseJoins(channel);
        }
    } else if (kind == "message" && r->element[2]->type == REDIS_REPLY_STRING) {
        group->Received(channel, std::string_view(r->element[2]->str, r->element[2]->len));
    }
}

void RelayGroup::Received(std::string_view channel, std::string_view payload) {
    std::string why;
    std::optional<GroupMessage> m = ParseGroupMessage(payload, why);
    if (!m) {
        return Ignore(channel, why);
    }
    bool rightChannel = false;
    switch (m->kind) {
        case GroupKind::Say:
        case GroupKind::Show:
            rightChannel = channel == ChannelKey(m->where);
            break;
        case GroupKind::Tell:
            rightChannel = channel == relayChannel_;
            break;
        case GroupKind::State:
        case GroupKind::Sync:
        case GroupKind::Bye:
            rightChannel = channel == groupChannel_;
            break;
    }
    if (!rightChannel) {
        return Ignore(channel, "a message of that kind does not belong there");
    }
    if (m->relay == name_) {
        return;  // our own, delivered here when it was sent
    }
    switch (m->kind) {
        case GroupKind::Sync:
            stateDirty_ = true;
            return;
        case GroupKind::State:
            if (!peerSeen_.contains(m->relay)) {
                Log("relay " + m->relay + " is in the group with " +
                    std::to_string(m->users.size()) + " users");
            }
            peerSeen_[m->relay] = Clock::now();
            break;
        case GroupKind::Bye: {
            Log("relay " + m->relay + " left the group");
            peerSeen_.erase(m->relay);
            GroupEvent gone;
            gone.kind = GroupEvent::Kind::PeerGone;
            gone.relay = m->relay;
            events_.push_back(std::move(gone));
            return;
        }
        default:
            break;
    }
    GroupEvent event;
    event.kind = GroupEvent::Kind::Message;
    event.message = std::move(*m);
    events_.push_back(std::move(event));
}

void RelayGroup::Ignore(std::string_view channel, std::string_view why) {
    int held = 0;
    if (ignoredLog_.Allow(Clock::now(), held)) {
        Log("ignored a message on Redis channel " + LogText(channel) + ": " + std::string(why) +
            (held > 0 ? "; " + std::to_string(held) + " more not logged" : ""));
    }
}

void RelayGroup::Log(const std::string& line) const {
    if (log_) {
        log_(line);
    }
}

}  // namespace tessel::relay
