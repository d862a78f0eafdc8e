// SPDX-License-Identifier: MIT

#pragma once

#include <poll.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "relay/GroupWire.h"
#include "relay/RedisLink.h"
#include "relay/RelayLog.h"
#include "relay/RelayOptions.h"
#include "relay/RequestHandler.h"
#include "relay/UserDirectory.h"

namespace tessel::relay {

// A name for a relay started without one: the host name and the process ID.
std::string DefaultRelayName();

// What the group has for the server to act on.
struct GroupEvent {
    enum class Kind {
        Message,       // traffic or state from another relay, checked
        PeerGone,      // a relay left or stopped refreshing; `relay` names it
        OpenAnswered,  // the claim made for a client's OPEN came back
        HandleLost,    // another relay's client holds the handle of client `number`
        JoinReady,     // this relay now hears the channel client `number` is joining
    };
    Kind kind = Kind::Message;
    GroupMessage message;
    std::string relay;
    int number = 0;
    std::uint64_t serial = 0;
    bool taken = false;
    std::string handle;
};

// This relay's membership of a group of relays sharing one Redis (see docs/relay-group.md):
// two connections, one for commands and publishing, one subscribed; handle claims and the
// relay's own registration with expiry, refreshed three times per period; the other relays'
// users as they last told, forgotten when they stop telling. While Redis is away the relay
// goes on alone and keeps trying to get back.
class RelayGroup {
  public:
    using Clock = std::chrono::steady_clock;

    RelayGroup(const RelayConfig& config, LogSink log);
    ~RelayGroup();
    RelayGroup(const RelayGroup&) = delete;
    RelayGroup& operator=(const RelayGroup&) = delete;

    // Before serving: whether Redis answers and this relay's name is free in the group. It
    // waits (at most a couple of seconds), which is fine while no client is connected yet.
    bool Check(std::string& error);
    const std::string& name() const { return name_; }

    bool online() const { return state_ == State::Online; }

    void AddPoll(std::vector<pollfd>& fds) const;
    void OnPoll(std::span<const pollfd> fds, Clock::time_point now);
    std::optional<Clock::time_point> NextDeadline(Clock::time_point now) const;

    // Work due at `now`: connecting, subscriptions, claims, state and heartbeats.
    void Tick(Clock::time_point now, const RequestHandler& handler);

    void Publish(const std::vector<Publication>& publications, Clock::time_point now);
    void UsersChanged() { stateDirty_ = true; }
    // Claims `handle` for the OPEN client `number` is waiting on; the answer comes as an
    // OpenAnswered event. False when the group cannot be asked now.
    bool ClaimForOpen(int number, std::uint64_t serial, const std::string& handle,
                      Clock::time_point now);

    // Makes sure this relay hears `channel` before client `number` is told it joined, so
    // that it misses nothing sent there after. False when it hears it already or cannot
    // ask now; otherwise a JoinReady event follows.
    bool AwaitJoin(int number, std::uint64_t serial, const std::string& channel);

    std::vector<GroupEvent> TakeEvents();

    // Says goodbye and gives the handles back, waiting briefly for Redis to take it.
    void Leave();

  private:
    enum class State { Offline, Connecting, Online };
    enum class Reply { Other, Claim, OpenClaim, Hello };
    struct Pending {
        Reply kind;
        std::size_t bytes;
        Clock::time_point sentAt;
        int number = 0;
        std::uint64_t serial = 0;
        std::string handle;
    };

    static void OnCommandReply(redisAsyncContext* context, void* reply, void* privdata);
    static void OnSubscription(redisAsyncContext* context, void* reply, void* privdata);
    void CommandAnswered(const void* reply);
    void Received(std::string_view channel, std::string_view payload);

    bool Send(Reply kind, std::initializer_list<std::string_view> args, Clock::time_point now,
              int number = 0, std::uint64_t serial = 0, std::string handle = {});
    void Connect(Clock::time_point now);
    void GoOffline(const std::string& why, Clock::time_point now);
    void Joined(Clock::time_point now);
    void Subscribe(const UserDirectory& users);
    void SyncClaims(const UserDirectory& users, Clock::time_point now);
    void Heartbeat(const RequestHandler& handler, Clock::time_point now);
    void PublishState(const RequestHandler& handler, Clock::time_point now);
    void ExpirePeers(Clock::time_point now);
    void Ignore(std::string_view channel, std::string_view why);
    void Log(const std::string& line) const;

    bool CheckAt(std::string& error, std::string& movedTo);
    bool Resolve(std::string& error);
    static std::string MovedTo(std::string_view error);
    bool SetAddress(const std::string& address);
    std::chrono::milliseconds StallTimeout() const;
    std::string ChannelKey(std::string_view channel) const;
    std::string HandleKey(std::string_view handle) const;
    std::string Owner(int number) const;

    RelayConfig config_;
    LogSink log_;
    std::string name_;
    std::string nonce_;  // tells this run of the relay from an earlier one of the same name
    // Where Redis is: as configured, or the Redis Cluster node holding the group's keys.
    std::string host_;
    int port_ = 0;
    std::string movedTo_;
    std::string groupChannel_;
    std::string relayChannel_;

    State state_ = State::Offline;
    bool everJoined_ = false;
    // Connected is not yet answering: a stopped Redis still accepts connections.
    bool helloSent_ = false;
    bool answered_ = false;
    Clock::time_point retryAt_{};
    Clock::time_point heartbeatAt_{};
    std::string lostReason_;

    std::deque<Pending> pending_;  // commands sent, oldest first: Redis answers in order
    std::size_t pendingBytes_ = 0;
    long dropped_ = 0;
    Clock::time_point dropLoggedAt_{};

    struct Joining {
        std::string key;
        int number;
        std::uint64_t serial;
    };
    void ReleaseJoins(std::string_view key);

    std::set<std::string, std::less<>> subscribed_;  // Redis channels asked for
    std::set<std::string, std::less<>> heard_;       // ... and confirmed
    int subscribing_ = 0;                            // not yet confirmed
    std::vector<Joining> joining_;
    bool stateDirty_ = true;

    std::map<int, std::string> claimed_;  // client number -> handle held in the group
    std::set<int> opening_;               // clients whose OPEN claim is on its way

    std::map<std::string, Clock::time_point, std::less<>> peerSeen_;
    std::vector<GroupEvent> events_;
    LogRateLimit ignoredLog_;

    // Last, so that they go first: closing them runs callbacks on the members above.
    RedisLink commands_;
    RedisLink subscriber_;
};

}  // namespace tessel::relay
