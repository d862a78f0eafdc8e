// SPDX-License-Identifier: MIT

#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "relay/DiceRoller.h"
#include "relay/GroupDirectory.h"
#include "relay/GroupWire.h"
#include "relay/MessageWriter.h"
#include "relay/ProbeSchedule.h"
#include "relay/RelayOptions.h"
#include "relay/Request.h"
#include "relay/UserDirectory.h"

namespace tessel::relay {

// One message for one client, laid out for the wire.
struct Delivery {
    int to = 0;
    std::string bytes;
};

// What serving one request (or one event) produced, each message once per recipient.
struct Outcome {
    std::vector<Delivery> deliveries;  // in the order they must be sent
    bool closeSender = false;          // the sender asked to be disconnected (CLOSE)
    std::string refusal;               // set when the request was refused: the answer and why
};

// One message with everyone who gets it.
struct Outgoing {
    WireMessage message;
    std::vector<int> to;  // in the order they must be sent
    // A user list: it stands for the state at the time it was sent, so a later one may
    // take its place where it has not gone out yet.
    bool userList = false;
};

// A message for the other relays of the group.
struct Publication {
    bool toRelay =
        false;  // false: for the members of tessel channel `where`; true: for relay `where`
    std::string where;
    std::string bytes;
};

// The same as Outcome, with each message laid out once for all its recipients.
struct Output {
    std::vector<Outgoing> messages;  // in the order they must be sent
    bool closeSender = false;
    std::string refusal;
    std::vector<Publication> publications;  // in the order they must be sent
    bool usersChanged = false;              // a handle, channel or master flag changed
};

// Output laid out per recipient, in the order the messages must be sent.
Outcome PerRecipient(Output output);

// The relay's logic, free of sockets and clocks: requests and connection events in,
// addressed messages out. The server feeds it and delivers what it returns.
class RequestHandler {
  public:
    RequestHandler(const RelayConfig& config, std::unique_ptr<DiceSource> dice);

    // Admits a new connection: its number, with the first probe "READY <n>" in `out`;
    // nothing when the relay is full.
    std::optional<int> Connect(Clock::time_point now, Output& out);
    std::optional<int> Connect(Clock::time_point now, Outcome& out);

    // Serves one request from client `from`.
    void Handle(int from, const Request& request, Clock::time_point now, Output& out);
    Outcome Handle(int from, const Request& request, Clock::time_point now);

    // A connection is gone, whatever the reason; the others learn of it when it changes
    // the user list.
    void Disconnect(int number, Output& out);
    Outcome Disconnect(int number);

    // Sends the probes that are due. Clients whose probe went unanswered are put in `silent`;
    // the caller drops them (and calls Disconnect).
    void Tick(Clock::time_point now, std::vector<int>& silent, Output& out);
    Outcome Tick(Clock::time_point now, std::vector<int>& silent);
    std::optional<Clock::time_point> NextDeadline() const { return probes_.NextDeadline(); }

    const UserDirectory& users() const { return users_; }

    // Group of relays: traffic from the other relays, delivered to the clients here it is
    // for, and the others' registered users, which share this relay's user list and
    // handles. Without a group name nothing is published and the relay serves alone.
    void FromGroup(const GroupMessage& message, Output& out);
    void ReplacePeer(const std::string& relay, std::vector<GroupUser> users, Output& out);
    void RemovePeer(std::string_view relay, Output& out);
    void ClearPeers(Output& out);
    const GroupDirectory& peers() const { return peers_; }
    // This relay's registered users as the group sees them, in connection order.
    std::vector<GroupUser> LocalUsers() const;

  private:
    struct Turn {
        int from;
        const Request& request;
        Clock::time_point now;
        Output& out;
        ClientRecord& sender;
    };
    using Serve = void (RequestHandler::*)(Turn&);
    struct Route {
        CommandCode code;
        Serve serve;
    };
    static const Route kRoutes[];

    void Open(Turn& turn);
    void Join(Turn& turn);
    void Close(Turn& turn);
    void Mode(Turn& turn);
    void Roll(Turn& turn);
    void SendMesg(Turn& turn);
    void GetUser(Turn& turn);
    void List(Turn& turn);
    void Operate(Turn& turn);
    void Response(Turn& turn);

    // An answer to the sender, under the request's ID.
    void Answer(Turn& turn, std::string_view command, ContentType type = {},
                std::string_view body = {});
    void Refuse(Turn& turn, ResponseCode code, std::string_view why);
    void Probe(int number, Output& out);
    void BroadcastUsers(Output& out);
    void Leave(int number, Output& out);
    std::string UserListBody() const;
    void Publish(Output& out, bool toRelay, std::string where, const GroupMessage& message) const;

    std::string groupName_;  // empty without a group
    MessageWriter writer_;
    std::unique_ptr<DiceSource> dice_;
    UserDirectory users_;
    GroupDirectory peers_;
    // The user list as last broadcast: an unchanged list is not sent again, so repeating a
    // request cannot multiply a client's input into everybody's output.
    std::string broadcastUsers_;
    ProbeSchedule probes_;
};

}  // namespace tessel::relay
