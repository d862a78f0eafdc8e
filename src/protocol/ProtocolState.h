// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/FixedText.h"

namespace tessel {

// Sizes of the program's fixed text fields.
inline constexpr std::size_t kBodySize = 4352;  // bodies, lines, the mailbox, display items
// The longest command text a front end may hand over (the mailbox keeps a terminating zero).
inline constexpr std::size_t kMaxCommandText = kBodySize - 1;
inline constexpr std::size_t kLineFieldSize = 256;  // command lines, words, request headers
inline constexpr std::size_t kNameFieldSize = 64;   // IDs, handles, channels, notes

// One of the player's own rolls, as re-rolls and fake rolls replay it.
struct OwnRoll {
    std::int32_t count = 0;
    std::int32_t sides = 0;
    std::int32_t rule = 0;
    std::int32_t parameter = 0;
    std::int32_t modifier = 0;
    FixedText<kBodySize> diceText;  // the dice values as the server sent them
    FixedText<kNameFieldSize> note;
};

// Process-wide protocol values. They are shared between the window thread and the
// connection thread: numbers are atomics, texts and roll records are copied under a short
// lock so a reader never sees half of a write.

// The number the server assigned to this client (255 until it says otherwise).
std::int32_t ClientNumber();
void SetClientNumber(std::int32_t number);

// The counter every generated message ID uses; it wraps from 65535 to 0.
std::int32_t MessageSequence();
void SetMessageSequence(std::int32_t value);
// The current value, advancing the counter by one.
std::int32_t TakeMessageSequence();

// Handle of the last OPEN and channel of the last JOIN sent (at most 63 bytes, wire encoding).
std::string PendingHandle();
void SetPendingHandle(std::string_view handle);
std::string PendingChannel();
void SetPendingChannel(std::string_view channel);

// The roll text of the shortcut "r", set by key definition files (at most 63 bytes).
std::string SprollText();
void SetSprollText(std::string_view text);

// Own-roll slots: 0 is the most recent roll, 1 the one before it.
OwnRoll LastOwnRoll();
OwnRoll PreviousOwnRoll();
OwnRoll OwnRollSlot(std::int32_t slot);  // 1 gives PreviousOwnRoll, anything else LastOwnRoll
// Shifts the most recent roll into the previous slot and stores `roll` as the most recent.
void RecordOwnRoll(const OwnRoll& roll);

// Puts every value above back to its start-up state (tests, and a fresh session).
void ResetProtocolState();

}  // namespace tessel
