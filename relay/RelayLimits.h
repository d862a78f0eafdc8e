// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <cstddef>

#include "protocol/DiceRules.h"
#include "protocol/ProtocolMessage.h"
#include "protocol/ProtocolState.h"

namespace tessel::relay {

// Every size the relay accepts or produces is capped here, so that no client can make it
// buffer without bound and nothing it sends overruns the client's fixed fields.

// Client numbers are three digits in the server-assigned ID.
inline constexpr int kMaxClientNumber = 999;

// One header line, its line ending excluded. The client's own header area is 256 bytes in
// total, so a longer line can only come from a stream that has lost its framing.
inline constexpr std::size_t kMaxHeaderLineBytes = 1024;
// Header lines of one message, greeting included.
inline constexpr std::size_t kMaxHeaderLines = 32;
// A body in either direction: the client reads at most this many bytes of one body and
// would take the rest for the next header.
inline constexpr std::size_t kMaxBodyBytes = kMaxReceivedBody;
// A request body as the client can send it: its whole body buffer. Longer chat lines are
// legitimate there, so they are read and cut to kMaxBodyBytes when relayed.
inline constexpr std::size_t kMaxRequestBodyBytes = kBodySize;

// The client's command line and its name fields, each with room for a terminating zero.
inline constexpr std::size_t kMaxRequestLineBytes = kLineFieldSize - 1;
inline constexpr std::size_t kMaxNameBytes = kNameFieldSize - 1;  // handles, channels, IDs
inline constexpr std::size_t kMinChannelBytes = 2;

// The client keeps 32 users; a die value line holds at most 7 characters.
inline constexpr std::size_t kMaxUserLines = 32;
inline constexpr std::size_t kMaxDieValueDigits = 7;

// Dice: count and sides of one roll, rounds of one roll.
inline constexpr int kMaxDice = 255;
inline constexpr int kMaxSides = 255;
inline constexpr int kMaxRounds = 10;
inline constexpr int kMaxRule = 255;
// Parameters from 128 up mark a re-roll on the client's screen, so a request may not use them.
inline constexpr int kMaxRuleParameter = kRerollFlag - 1;

// Pending output of one connection; a client that lets it fill up is not reading.
inline constexpr std::size_t kMaxOutputBytes = 1024 * 1024;
// Pending output above this is a client falling behind. Requests that make the relay send
// far more than they are (rolls) then wait until it has caught up, so that a flood of them
// cannot get a slow reader dropped; plain chat is relayed as it comes.
inline constexpr std::size_t kCongestedOutputBytes = 256 * 1024;
// A client that far behind which takes nothing for this long is not reading.
inline constexpr std::chrono::milliseconds kStallTimeout{10'000};
// Refusals logged per connection: a burst, then one line per window at most.
inline constexpr int kRefusalLogBurst = 10;
inline constexpr std::chrono::milliseconds kRefusalLogWindow{10'000};
// Bytes taken from one socket per read.
inline constexpr std::size_t kReadChunkBytes = 64 * 1024;
// Requests served from one connection before the loop turns to the others.
inline constexpr int kRequestsPerTurn = 32;

inline constexpr std::chrono::milliseconds kDefaultProbeInterval{60'000};
inline constexpr std::chrono::milliseconds kDefaultProbeTimeout{30'000};
inline constexpr int kDefaultMaxClients = 256;
inline constexpr int kDefaultPort = 3962;

// A group of relays through Redis. Registrations live this long unless their relay
// refreshes them (three times per period), so a relay that dies leaves the group within it.
inline constexpr std::chrono::milliseconds kDefaultGroupExpiry{30'000};
// Bytes sent to Redis and not yet answered. Past this the relay is ahead of Redis by far:
// cross-relay traffic is dropped (and counted in the log) until Redis catches up.
inline constexpr std::size_t kMaxRedisPendingBytes = 8 * 1024 * 1024;
// Redis that answers nothing for this long while requests wait is treated as lost.
inline constexpr std::chrono::milliseconds kRedisStallTimeout{5'000};
// How long a connection to Redis may take, and the wait between attempts while it is away.
inline constexpr std::chrono::milliseconds kRedisConnectTimeout{2'000};
inline constexpr std::chrono::milliseconds kRedisRetryInterval{1'000};

}  // namespace tessel::relay
