// SPDX-License-Identifier: MIT

#include "views/RollReport.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "protocol/DiceRules.h"
#include "protocol/ProtocolState.h"
#include "protocol/Words.h"
#include "views/DisplayLine.h"

namespace tessel {
namespace {

// "のロール"
constexpr std::string_view kRollOf = "\x82\xCC\x83\x8D\x81\x5B\x83\x8B";
// "(振り直し)"
constexpr std::string_view kRerollMark = "(\x90\x55\x82\xE8\x92\xBC\x82\xB5)";
// "     どれかが最大なら振り足し\r\n"
constexpr std::string_view kRuleAnyMaximum =
    "     \x82\xC7\x82\xEA\x82\xA9\x82\xAA\x8D\xC5\x91\xE5\x82\xC8\x82\xE7\x90\x55\x82\xE8\x91\xAB"
    "\x82\xB5\r\n";
// "     全て最大値なら振り足し\r\n"
constexpr std::string_view kRuleAllMaximum =
    "     \x91\x53\x82\xC4\x8D\xC5\x91\xE5\x92\x6C\x82\xC8\x82\xE7\x90\x55\x82\xE8\x91\xAB\x82\xB5"
    "\r\n";
// "     Ｔ＆Ｔバーサーク(揃えあり)\r\n"
constexpr std::string_view kRuleBerserkMatched =
    "     \x82\x73\x81\x95\x82\x73\x83\x6F\x81\x5B\x83\x54\x81\x5B\x83\x4E(\x91\xB5\x82\xA6\x82\xA0"
    "\x82\xE8)\r\n";
// "     Ｔ＆Ｔバーサーク\r\n"
constexpr std::string_view kRuleBerserk =
    "     \x82\x73\x81\x95\x82\x73\x83\x6F\x81\x5B\x83\x54\x81\x5B\x83\x4E\r\n";
// "     ゾロ目ならば振り足し\r\n"
constexpr std::string_view kRuleDoubles =
    "     \x83\x5D\x83\x8D\x96\xDA\x82\xC8\x82\xE7\x82\xCE\x90\x55\x82\xE8\x91\xAB\x82\xB5\r\n";
// "     最大値のダイスを振り足し\r\n"
constexpr std::string_view kRuleMaximumDice =
    "     \x8D\xC5\x91\xE5\x92\x6C\x82\xCC\x83\x5F\x83\x43\x83\x58\x82\xF0\x90\x55\x82\xE8\x91\xAB"
    "\x82\xB5\r\n";
// "以上のダイスを振り足し\r\n", after "     %d"
constexpr std::string_view kRuleThresholdTail =
    "\x88\xC8\x8F\xE3\x82\xCC\x83\x5F\x83\x43\x83\x58\x82\xF0\x90\x55\x82\xE8\x91\xAB\x82\xB5\r\n";
// "    合計値: "
constexpr std::string_view kTotalLead = "    \x8D\x87\x8C\x76\x92\x6C: ";
// "平均値: ", after the total and 23 blanks
constexpr std::string_view kAverageLead = "                       \x95\xBD\x8B\xCF\x92\x6C: ";
constexpr std::string_view kReportEnd = "\r\n\r\n";

constexpr std::string_view kDiceIndent = "     ";
constexpr std::string_view kDiceLineBreak = "\r\n     ";
constexpr std::string_view kLineEnd = "\r\n";

bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A decimal number read as atoi reads it, except that a value outside the 32-bit range is
// clamped to the range instead of being undefined.
std::int32_t ReadNumber(std::string_view field) {
    constexpr std::int64_t kMagnitudeLimit =
        static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 1;
    std::size_t i = 0;
    while (i < field.size() && IsAsciiSpace(field[i])) {
        ++i;
    }
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    std::int64_t magnitude = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        magnitude = std::min(magnitude * 10 + (field[i] - '0'), kMagnitudeLimit);
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::string Decimal(std::int64_t value) {
    return std::to_string(value);
}

std::string TwoDecimals(double value) {
    char buffer[64];
    const int n = std::snprintf(buffer, sizeof buffer, "%.2f", value);
    if (n < 0) {
        return {};
    }
    return std::string(buffer, std::min(static_cast<std::size_t>(n), sizeof buffer - 1));
}

std::string RuleLine(std::int32_t rule, std::int32_t parameter, std::int32_t sides) {
    switch (rule) {
        case kAnyMaximum:
            return std::string(kRuleAnyMaximum);
        case kAllMaximum:
            return std::string(kRuleAllMaximum);
        case kBerserk:
            return std::string(parameter == 0 ? kRuleBerserkMatched : kRuleBerserk);
        case kDoubles:
            return std::string(kRuleDoubles);
        case kAtLeast:
            if (parameter == 0) {
                return std::string(kRuleMaximumDice);
            }
            // 64 bits: a hostile sides or parameter must not overflow the difference.
            return std::string(kDiceIndent) +
                   Decimal(static_cast<std::int64_t>(sides) - parameter) +
                   std::string(kRuleThresholdTail);
        default:  // plain rolls and unknown rules: the header simply ends
            return std::string(kLineEnd);
    }
}

// The roll as it is drawn: the re-roll mark taken off the parameter, the note's first word.
struct ShownRoll {
    RollInfo info;
    bool reroll = false;
    std::string_view note;
};

ShownRoll ShownRollOf(const RollInfo& info) {
    ShownRoll shown{info, info.parameter >= kRerollFlag, {}};
    if (shown.reroll) {
        shown.info.parameter -= kRerollFlag;
    }
    shown.note = CutAtCharacter(WordAt(info.note, 0), kRollNoteLimit);
    return shown;
}

// An empty view may have no storage at all (a missing field); the record's field is then
// cleared rather than copied from nowhere.
template <std::size_t N>
void StoreText(FixedText<N>& field, std::string_view text) {
    if (text.empty()) {
        field.clear();
    } else {
        field.assign(text);
    }
}

}  // namespace

DiceBlock RenderDiceBlock(std::string_view diceText) {
    constexpr std::size_t kMaxBlock = kDiceBlockSize - 1;
    const std::string_view text = TextOf(diceText);
    DiceBlock block;
    block.text.reserve(std::min(kMaxBlock, text.size() * 4 + kDiceIndent.size() + 2));
    block.text = kDiceIndent;
    bool full = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t feed = text.find('\n', pos);
        const std::size_t end = feed == std::string_view::npos ? text.size() : feed;
        const std::string_view line =
            CutAtCharacter(text.substr(pos, end - pos), kDiceValueLineLimit);
        pos = feed == std::string_view::npos ? text.size() : feed + 1;

        block.sum += ReadNumber(line);
        if (full) {
            continue;
        }
        const bool breaks = line == "0";
        const std::size_t pieceSize = breaks ? kDiceLineBreak.size() : line.size() + 1;
        // The closing line end always has its place; pieces are printed whole or not at all.
        if (block.text.size() + pieceSize + kLineEnd.size() > kMaxBlock) {
            full = true;
            continue;
        }
        if (breaks) {
            block.text += kDiceLineBreak;
        } else {
            block.text += line;
            block.text += ' ';
        }
    }
    block.text += kLineEnd;
    return block;
}

std::string RenderRollReport(const DisplayItem& item) {
    const std::string_view name = TextOf(item.name);
    const ShownRoll shown = ShownRollOf(item.rollInfo);
    const RollInfo& info = shown.info;
    const bool reroll = shown.reroll;

    // Everything of the header but the name and the note, which fill what is left.
    const std::string lead = "    " + std::string(MarkName);
    const std::string afterName = std::string(MarkDice) + std::string(kRollOf);
    std::string dice = reroll ? std::string(kRerollMark) : std::string();
    dice += "   " + Decimal(info.count) + " d " + Decimal(info.sides);
    if (info.modifier > 0) {
        dice += "  + " + Decimal(info.modifier);
    } else if (info.modifier < 0) {
        dice += "  - " + Decimal(-static_cast<std::int64_t>(info.modifier));
    }
    const std::string ruleLine = RuleLine(info.rule, info.parameter, info.sides);

    constexpr std::size_t kMaxHeader = kRollHeaderSize - 1;
    constexpr std::size_t kNoteFrame = 3;  // " (" and ")"
    const std::size_t fixed = lead.size() + afterName.size() + dice.size() + ruleLine.size();
    std::size_t room = kMaxHeader > fixed ? kMaxHeader - fixed : 0;
    const std::string_view shownName = CutAtCharacter(name, room);
    room -= shownName.size();
    const std::string_view shownNote =
        room > kNoteFrame ? CutAtCharacter(shown.note, room - kNoteFrame) : std::string_view();

    std::string header = lead;
    header += WholeCharacters(shownName);
    header += afterName;
    if (!shownNote.empty()) {
        header += " (";
        header += shownNote;
        header += ")";
    }
    header += dice;
    header += ruleLine;

    const DiceBlock block = RenderDiceBlock(item.text);
    const std::int64_t total = block.sum + info.modifier;

    std::string report = std::move(header);
    report += block.text;
    report += kTotalLead;
    report += Decimal(total);
    if (info.rule == kPlain) {
        // A roll of no dice has no meaningful average; it shows as 0.00.
        const double average =
            info.count == 0 ? 0.0
                            : static_cast<double>(block.sum) / static_cast<double>(info.count);
        report += kAverageLead;
        report += TwoDecimals(average);
    }
    report += MarkNormal;
    report += kReportEnd;
    return report;
}

void RecordIfOwnRoll(const DisplayItem& item, std::string_view ownHandle) {
    if (item.kind != DisplayKind::Roll || ownHandle.empty() || TextOf(item.name) != ownHandle) {
        return;
    }
    const ShownRoll shown = ShownRollOf(item.rollInfo);
    OwnRoll roll;
    roll.count = shown.info.count;
    roll.sides = shown.info.sides;
    roll.rule = shown.info.rule;
    roll.parameter = shown.info.parameter;
    roll.modifier = shown.info.modifier;
    StoreText(roll.diceText, TextOf(item.text));
    StoreText(roll.note, CutAtCharacter(shown.note, decltype(roll.note)::kMaxLength));
    RecordOwnRoll(roll);
}

std::string RollRuleName(std::int32_t rule, std::int32_t parameter, std::int32_t sides) {
    std::string line = RuleLine(rule, parameter, sides);
    const std::size_t start = line.find_first_not_of(' ');
    const std::size_t end = line.find_last_not_of("\r\n");
    if (start == std::string::npos || end == std::string::npos || end < start) {
        return {};
    }
    return line.substr(start, end - start + 1);
}

}  // namespace tessel
