// SPDX-License-Identifier: MIT

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "display/DisplayQueue.h"
#include "protocol/ProtocolState.h"
#include "views/DisplayLine.h"

namespace tessel::fuzz {

class QuietFrontEnd : public FrontEnd {
  public:
    void DisplayTextPosted() override {}
    void HostConnected() override {}
    void UserListRefresh() override {}
    void UserListClear() override {}
    void TitleRefresh() override {}
    void Quit() override {}
};

// The slots of the markers in `line`, found as the pane finds them.
inline std::vector<ColourMarker> Markers(std::string_view line) {
    std::vector<ColourMarker> markers;
    for (std::size_t pos = 0; pos < line.size();) {
        const std::size_t length = ShiftJisCharLength(line, pos);
        if (const auto marker = MarkerAt(line, pos, length)) {
            markers.push_back(*marker);
        }
        pos += length;
    }
    return markers;
}

// The same text with every byte above 0x7F made a plain letter: the shape the builder sees
// (line ends, blanks, length) without any byte that could take part in a marker.
inline std::string Plain(std::string_view text) {
    std::string out(text.substr(0, text.find('\0')));
    for (char& c : out) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            c = 'a';
        }
    }
    return out;
}

// The line of an item that came out of the display queue: only the builder's own markers,
// those of the same item with every peer byte made plain, and a bounded length. Returns it.
inline std::string CheckedLine(const DisplayItem& shown) {
    FUZZ_CHECK(shown.text.size() <= DisplayQueue::kMaxTextLength);
    FUZZ_CHECK(shown.name.size() <= DisplayQueue::kMaxTextLength);
    const std::string line = BuildDisplayLine(shown);
    FUZZ_CHECK(BuildDisplayLine(shown) == line);
    // A roll report is a header of 255 bytes, the dice block and two short lines.
    FUZZ_CHECK(line.size() <= 3 * kBodySize);

    DisplayItem plain = shown;
    plain.name = Plain(shown.name);
    plain.text = Plain(shown.text);
    plain.rollInfo.note = Plain(shown.rollInfo.note);
    FUZZ_CHECK(Markers(line) == Markers(BuildDisplayLine(plain)));
    return line;
}

// Every item waiting in `queue`, each line checked.
inline std::size_t DrainChecked(DisplayQueue& queue) {
    std::size_t lines = 0;
    while (auto item = queue.TakeDisplayItem()) {
        CheckedLine(*item);
        ++lines;
    }
    return lines;
}

}  // namespace tessel::fuzz
