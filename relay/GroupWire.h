// SPDX-License-Identifier: MIT

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/ContentType.h"

namespace tessel::relay {

// What relays of one group tell each other through Redis. Every message names the relay
// that sent it; texts travel in the wire encoding, exactly as the clients sent them.
// Nothing read from Redis is trusted: Parse checks every field against the limits a
// client's own request has to meet, so a message that passes can only make the relay send
// its own clients what one of them could have made it send.

// One registered user as the other relays see it.
struct GroupUser {
    std::string handle;
    std::string channel;  // empty before a JOIN
    std::string address;
    bool master = false;

    bool operator==(const GroupUser&) const = default;
};

enum class GroupKind {
    Say,    // chat to a channel (SENDMESG *)
    Show,   // dice to a channel (ROLL, REROLL, FAKEROLL), already rolled
    Tell,   // chat to one handle (SENDMESG handle)
    State,  // the sending relay's registered users, in its connection order
    Sync,   // a relay that has just joined asks the others for their state
    Bye,    // a relay leaves the group
};

struct GroupMessage {
    GroupKind kind = GroupKind::Sync;
    std::string relay;  // the sender
    // Say, Show: the tessel channel; Tell: the handle it is for.
    std::string where;
    std::string handle;  // Say, Tell: the speaker; Show: the roller
    ContentType type = ContentType::Other;
    std::string body;  // chat text or dice lines
    // Show: count, sides, rule and parameter as shown, the roll's ID, and whether only the
    // channel's masters may see it.
    int count = 0;
    int sides = 0;
    int rule = 0;
    int parameter = 0;
    std::string id;
    bool secret = false;
    std::vector<GroupUser> users;  // State
};

// A relay's name in the group: 1 to 40 of A-Z a-z 0-9 . _ -
bool ValidRelayName(std::string_view name);

std::string EncodeGroupMessage(const GroupMessage& message);

// The message, or nothing with `why` set when any part of it is out of bounds.
std::optional<GroupMessage> ParseGroupMessage(std::string_view bytes, std::string& why);

}  // namespace tessel::relay
