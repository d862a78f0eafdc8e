// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/CommandCode.h"
#include "protocol/FixedText.h"
#include "protocol/ProtocolState.h"

namespace tessel {

// Message IDs the client generates. Each one uses the current MessageSequence and advances
// it, so every form shares one counter. In the m-forms, position 0 is "m", positions 12 to
// 15 carry the modifier or the command marker, and position 16, when present, the note.

using MessageIdText = FixedText<kNameFieldSize>;

inline constexpr std::size_t kModifierPosition = 12;  // sign and three digits, or a marker
inline constexpr std::size_t kModifierLength = 4;
inline constexpr std::size_t kNotePosition = 16;  // "x", then the note
static_assert(kModifierPosition + kModifierLength == kNotePosition);
inline constexpr std::size_t kMaxNoteLength = 32;

// "a%03d%05d%03d": requests that carry no ID of their own.
std::string GeneralId();
// "m%03d%05d%03dr%03d": OPEN, JOIN and OPERATE.
std::string CommandId(CommandCode code);
// "m%03d%05d%03d+%03d" or "...-%03d": a roll with a modifier (not 0).
std::string ModifierId(std::int32_t modifier);
// "m%03d%05d%03d0000x%s": a roll without modifier, with its note (possibly empty).
std::string NoteId(std::string_view note);
// Puts "x<note>" at position 16 of an existing ID, padding a shorter ID with "0".
void AppendNoteToId(MessageIdText& id, std::string_view note);

}  // namespace tessel
