// SPDX-License-Identifier: MIT

#include "views/DisplayLine.h"

#include "protocol/Charset.h"
#include "protocol/Words.h"
#include "views/RollReport.h"

namespace tessel {

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
    split.slotAfter =
        detail::WalkRuns(text, slotInForce, [&](ColourMarker slot, std::string_view piece) {
            split.runs.push_back({slot, std::string(piece)});
        });
    return split;
}

std::string LogLineOf(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    detail::WalkRuns(text, ColourMarker::Normal,
                     [&](ColourMarker, std::string_view piece) { line += piece; });
    return line;
}

// A log is read later with cat, less or grep in a terminal: a peer's ESC, BEL or CSI must not
// replay itself there. Control bytes show as "^X", as the terminal front end prints them; tab,
// line feed and the carriage return of a line end stay. No control byte is ever the second
// byte of a Shift-JIS character, so this is safe byte by byte.
void AppendLogText(std::string& out, std::string_view text) {
    std::size_t plain = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        const bool control = (b < 0x20 && b != '\t' && b != '\n' &&
                              !(b == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) ||
                             b == 0x7F;
        if (!control) {
            continue;
        }
        out.append(text, plain, i - plain);
        out += '^';
        out += static_cast<char>(b == 0x7F ? '?' : b + '@');
        plain = i + 1;
    }
    out.append(text, plain, text.size() - plain);
}

std::vector<ColouredRun> ColourRunSplitter::Split(std::string_view text) {
    ColouredSplit split = SplitColouredRuns(text, slot_);
    slot_ = split.slotAfter;
    return std::move(split.runs);
}

}  // namespace tessel
