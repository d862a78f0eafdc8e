// SPDX-License-Identifier: MIT

#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "display/DisplayQueue.h"
#include "protocol/Charset.h"

namespace tessel {

// The longest prefix of `text` of at most `maxBytes` bytes that ends on a character boundary.
std::string_view CutAtCharacter(std::string_view text, std::size_t maxBytes);

// `text` without a lone lead byte at its very end. Text followed by a colour marker must end
// on a whole character: a handle ending in a lead byte (a peer can send one) would otherwise
// swallow the marker's first byte and garble the rest of the line.
std::string_view WholeCharacters(std::string_view text);

// The text of the display pane for one item, with colour markers; a `Roll` item is rendered
// as a roll report. Any non-zero `systemName` of a chat item counts as the flag being set.
// Texts end at their first zero byte, as the item's fields always did.
std::string BuildDisplayLine(const DisplayItem& item);
// The same into `line`, replacing what it held: a drain reuses one buffer for every line.
void BuildDisplayLine(const DisplayItem& item, std::string& line);

// Whether the notification check runs before the line of `item` is shown: chat lines from a
// user only.
bool RunsNotifyCheck(const DisplayItem& item);

// A stretch of display text painted in one colour.
struct ColouredRun {
    ColourMarker slot = ColourMarker::Normal;
    std::string bytes;

    friend bool operator==(const ColouredRun&, const ColouredRun&) = default;
};

struct ColouredSplit {
    std::vector<ColouredRun> runs;
    ColourMarker slotAfter = ColourMarker::Normal;  // the slot in force for the next text

    friend bool operator==(const ColouredSplit&, const ColouredSplit&) = default;
};

// Splits a display text into the runs the pane paints. Markers are found character by
// character, so a 0xFC that is the second byte of a double-byte character is text. The piece
// before the first marker takes `slotInForce`; each marker colours what follows it. A text
// that ends in plain text hands slot Normal to the next one; a text that ends right after a
// marker (or is empty) hands on that marker's slot (or `slotInForce`). Empty pieces paint
// nothing and are left out.
ColouredSplit SplitColouredRuns(std::string_view text, ColourMarker slotInForce);

// The same text as it goes to the log: exactly the characters shown, every marker removed.
std::string LogLineOf(std::string_view text);
// Appends `text` with its control bytes shown as "^X" (tab, line feed and CR LF kept): what
// the log writes, so a log printed in a terminal cannot drive it.
void AppendLogText(std::string& out, std::string_view text);

namespace detail {

// Walks `text` character by character and hands each piece between markers, with the slot it
// is painted in, to `paint`. Returns the slot in force afterwards. It is here, not behind a
// call through std::function, because every shown line is walked.
template <typename Paint>
ColourMarker WalkRuns(std::string_view text, ColourMarker slot, Paint&& paint) {
    std::size_t pieceStart = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            pos = AsciiRunEnd(text, pos);  // one-byte characters, never a marker
            continue;
        }
        const std::size_t length = ShiftJisCharLength(text, pos);
        if (const auto marker = MarkerAt(text, pos, length)) {
            if (pos > pieceStart) {
                paint(slot, text.substr(pieceStart, pos - pieceStart));
            }
            slot = *marker;
            pieceStart = pos + length;
        }
        pos += length;
    }
    if (pieceStart < text.size()) {
        paint(slot, text.substr(pieceStart));
        slot = ColourMarker::Normal;  // a line that ends without a marker leaves the normal colour
    }
    return slot;
}

}  // namespace detail

// The pane's colour slot carried from one appended text to the next.
class ColourRunSplitter {
  public:
    std::vector<ColouredRun> Split(std::string_view text);
    // The same runs handed to `paint` as views into `text`, without copying them.
    template <typename PaintRun>
    void Paint(std::string_view text, PaintRun&& paint) {
        slot_ = detail::WalkRuns(text, slot_, paint);
    }
    ColourMarker slot() const { return slot_; }

  private:
    ColourMarker slot_ = ColourMarker::Normal;
};

}  // namespace tessel
