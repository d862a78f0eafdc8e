#include "views/DisplayLine.h"

#include "protocol/Charset.h"
#include "protocol/Words.h"
#include "views/RollReport.h"

namespace tessel {
namespace {

// The marker starting at `pos`, if the character there is one.
std::optional<ColourMarker> MarkerAt(std::string_view text, std::size_t pos, std::size_t length) {
    if (length != 2 || text[pos] != kMarkerLead) {
        return std::nullopt;
    }
    return ColourMarkerOf(text[pos + 1]);
}

// Walks `text` character by character and hands each piece between markers, with the slot it
// is painted in, to `paint`. Returns the slot in force afterwards.
template <typename Paint>
ColourMarker WalkRuns(std::string_view text, ColourMarker slot, Paint paint) {
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

}  // namespace

std::string_view WholeCharacters(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t length = ShiftJisCharLength(text, pos);
        if (pos + length == text.size() && length == 1 &&
            IsShiftJisLead(static_cast<unsigned char>(text[pos]))) {
            return text.substr(0, pos);
        }
        pos += length;
    }
    return text;
}

std::string_view CutAtCharacter(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t next = end + ShiftJisCharLength(text, end);
        if (next > maxBytes) {
            break;
        }
        end = next;
    }
    return text.substr(0, end);
}

std::string BuildDisplayLine(const DisplayItem& item) {
    std::string line;
    BuildDisplayLine(item, line);
    return line;
}

void BuildDisplayLine(const DisplayItem& item, std::string& line) {
    const std::string_view name = TextOf(item.name);
    const std::string_view text = TextOf(item.text);
    line.clear();
    switch (item.kind) {
        case DisplayKind::Chat:
            if (item.systemName == 0) {
                line.reserve(name.size() + text.size() + 9);
                line += MarkName;
                line += name;
                line += ':';
                line += MarkNormal;
                line += ' ';
                line += text;
                line += "\r\n";
            } else {
                // The text carries its own line end, if it wants one.
                line.reserve(name.size() + text.size() + 8);
                line += MarkSystem;
                line += name;
                line += ": ";
                line += WholeCharacters(text);
                line += MarkNormal;
            }
            break;
        case DisplayKind::System:
            line.reserve(text.size() + 4);
            line += MarkSystem;
            line += WholeCharacters(text);
            line += MarkNormal;
            break;
        case DisplayKind::Roll:
            line = RenderRollReport(item);
            break;
        default:
            line = text;
            break;
    }
}

bool RunsNotifyCheck(const DisplayItem& item) {
    return item.kind == DisplayKind::Chat && item.systemName == 0;
}

ColouredSplit SplitColouredRuns(std::string_view text, ColourMarker slotInForce) {
    ColouredSplit split;
    split.slotAfter = WalkRuns(text, slotInForce, [&](ColourMarker slot, std::string_view piece) {
        split.runs.push_back({slot, std::string(piece)});
    });
    return split;
}

std::string LogLineOf(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    WalkRuns(text, ColourMarker::Normal,
             [&](ColourMarker, std::string_view piece) { line += piece; });
    return line;
}

std::vector<ColouredRun> ColourRunSplitter::Split(std::string_view text) {
    ColouredSplit split = SplitColouredRuns(text, slot_);
    slot_ = split.slotAfter;
    return std::move(split.runs);
}

void ColourRunSplitter::Paint(std::string_view text,
                              const std::function<void(ColourMarker, std::string_view)>& paint) {
    slot_ = WalkRuns(text, slot_, paint);
}

}  // namespace tessel
