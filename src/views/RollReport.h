// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "display/DisplayQueue.h"

namespace tessel {

// Work-buffer limits of a roll report. Each is a buffer with room for its terminator, so the
// text in it is at most one byte shorter.
inline constexpr std::size_t kRollHeaderSize = 256;    // header line, rule line included
inline constexpr std::size_t kDiceBlockSize = 4352;    // the printed dice values
inline constexpr std::size_t kRollNoteLimit = 255;     // note field of `rollInfo`
inline constexpr std::size_t kDiceValueLineLimit = 7;  // one value line of the dice text

// The printed dice values and the sum of every value line, "0" lines included.
struct DiceBlock {
    std::string text;
    std::int64_t sum = 0;

    friend bool operator==(const DiceBlock&, const DiceBlock&) = default;
};

// Prints the server's dice text (one value per line-feed-terminated line) as the body of a
// report: five blanks, each value followed by a blank, a line holding exactly "0" starting a
// new printed line, and a closing "\r\n".
//
// A hostile server cannot push this past its buffer:
// - a value line longer than 7 bytes keeps only its first 7 bytes (never half a double-byte
//   character) both on screen and in the sum;
// - a last line without a line feed is a value like any other;
// - once the next piece would leave no room for the closing "\r\n" inside the 4352-byte
//   buffer, no further pieces are printed, but every value still counts in the sum, so the
//   total stays the one the server rolled;
// - the sum is 64-bit and cannot overflow from any text that fits a display item.
DiceBlock RenderDiceBlock(std::string_view diceText);

// Renders a `Roll` item as a coloured report: header (roller in the name colour, the rest in
// the dice colour), dice block, total line, then an empty line in the normal colour. Rendering
// changes nothing; the own roll is recorded by RecordIfOwnRoll.
//
// The header holds at most 255 bytes. Its fixed parts and the rule line always survive
// whole; the roller's name and then the note (its first word, at most 255 bytes) are cut (at
// a character boundary) to what is left, so the line always ends with its line end. Totals and
// differences are computed in 64 bits, so no 32-bit value can overflow them. The average of a
// roll of 0 dice is printed as 0.00.
std::string RenderRollReport(const DisplayItem& item);

// When `item` is a roll whose roller is `ownHandle` (exact bytes; an empty own handle is
// nobody, since no handle has been confirmed yet), records it as the player's most recent own
// roll, shifting the one before into the previous slot. The re-roll mark is not kept.
void RecordIfOwnRoll(const DisplayItem& item, std::string_view ownHandle);

// The rule's name as a report's header shows it ("どれかが最大なら振り足し"); empty for a plain
// roll and for rules the report does not name.
std::string RollRuleName(std::int32_t rule, std::int32_t parameter, std::int32_t sides);

}  // namespace tessel
