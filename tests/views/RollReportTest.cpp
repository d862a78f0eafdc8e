// SPDX-License-Identifier: MIT

#include "views/RollReport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>

#include "support/Bytes.h"
#include "support/ProtocolFixture.h"

namespace tessel {
namespace {

using test::Bytes;

// Shift-JIS texts of the report, written out here independently of the renderer.
const std::string kName = "\xFC\xFB";                              // name colour
const std::string kDice = "\xFC\xF9";                              // dice colour
const std::string kNormal = "\xFC\xFC";                            // normal colour
const std::string kRollOf = "\x82\xCC\x83\x8D\x81\x5B\x83\x8B";    // のロール
const std::string kReroll = "(\x90\x55\x82\xE8\x92\xBC\x82\xB5)";  // (振り直し)
const std::string kTotal = "    \x8D\x87\x8C\x76\x92\x6C: ";       // 合計値:
const std::string kAverage = "\x95\xBD\x8B\xCF\x92\x6C: ";         // 平均値:
const std::string k23Blanks(23, ' ');
// 以上のダイスを振り足し
const std::string kAtLeastTail =
    "\x88\xC8\x8F\xE3\x82\xCC\x83\x5F\x83\x43\x83\x58\x82\xF0\x90\x55\x82\xE8\x91\xAB\x82\xB5";
// 最大値のダイスを振り足し
const std::string kMaximumDice =
    "\x8D\xC5\x91\xE5\x92\x6C\x82\xCC\x83\x5F\x83\x43\x83\x58\x82\xF0\x90\x55\x82\xE8\x91\xAB"
    "\x82\xB5";

// A decimal field as atoi reads it, clamped to the 32-bit range.
std::int32_t Field(std::string_view fields, int n) {
    std::istringstream words{std::string(fields)};
    std::string word;
    for (int i = 0; i <= n; ++i) {
        if (!(words >> word)) {
            return 0;
        }
    }
    const long long value = std::strtoll(word.c_str(), nullptr, 10);
    return static_cast<std::int32_t>(std::clamp<long long>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// A roll item from its fields written as "count sides rule parameter modifier note".
DisplayItem Roll(std::string name, std::string_view fields, std::string text) {
    DisplayItem item;
    item.kind = DisplayKind::Roll;
    item.name = std::move(name);
    item.rollInfo = {Field(fields, 0), Field(fields, 1), Field(fields, 2),
                     Field(fields, 3), Field(fields, 4), {}};
    std::size_t at = 0;
    for (int i = 0; i < 5 && at != std::string_view::npos; ++i) {
        at = fields.find(' ', at);
        at = at == std::string_view::npos ? at : at + 1;
    }
    if (at != std::string_view::npos) {
        item.rollInfo.note = std::string(fields.substr(at));
    }
    item.text = std::move(text);
    return item;
}

std::string Header(const std::string& name, const std::string& rest) {
    return "    " + kName + name + kDice + kRollOf + rest;
}

class RollReportTest : public test::ProtocolStateTest {};

// --- The two worked examples --------------------------------------------------------------

TEST_F(RollReportTest, PlainRollWithModifierShowsTotalAndAverage) {
    const std::string expected = Header("taro", "   2 d 6  + 3\r\n") +  //
                                 "     4 5 \r\n" +                      //
                                 kTotal + "12" + k23Blanks + kAverage + "4.50" + kNormal +
                                 "\r\n\r\n";
    EXPECT_EQ(Bytes(RenderRollReport(Roll("taro", "2 6 0 0 3 ", "4\n5\n"))), Bytes(expected));
}

TEST_F(RollReportTest, ThresholdRuleWithZeroLineBreaksTheDiceAndHasNoAverage) {
    const std::string expected = Header("taro", "   3 d 6     5" + kAtLeastTail + "\r\n") +
                                 "     6 2 6 \r\n     3 \r\n" +  //
                                 kTotal + "17" + kNormal + "\r\n\r\n";
    EXPECT_EQ(Bytes(RenderRollReport(Roll("taro", "3 6 10 1 0 ", "6\n2\n6\n0\n3\n"))),
              Bytes(expected));
}

// --- Header -------------------------------------------------------------------------------

struct RuleCase {
    std::string rollInfo;
    std::string ruleLine;
};

class RuleLineTest : public test::ProtocolStateTest,
                     public ::testing::WithParamInterface<RuleCase> {};

TEST_P(RuleLineTest, EndsTheHeaderWithTheRuleLineAndOnlyPlainRollsAverage) {
    const RuleCase& c = GetParam();
    const std::string report = RenderRollReport(Roll("bob", c.rollInfo, "1\n"));
    const std::string header = Header("bob", "   1 d 6" + c.ruleLine);
    EXPECT_EQ(Bytes(report.substr(0, header.size())), Bytes(header));
    EXPECT_EQ(Bytes(report.substr(header.size())),
              Bytes("     1 \r\n" + kTotal + "1" + kNormal + "\r\n\r\n"));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RuleLineTest,
    ::testing::Values(
        // どれかが最大なら振り足し
        RuleCase{"1 6 1 0 0 ",
                 "     \x82\xC7\x82\xEA\x82\xA9\x82\xAA\x8D\xC5\x91\xE5\x82\xC8\x82\xE7\x90\x55"
                 "\x82\xE8\x91\xAB\x82\xB5\r\n"},
        // 全て最大値なら振り足し
        RuleCase{"1 6 2 0 0 ",
                 "     \x91\x53\x82\xC4\x8D\xC5\x91\xE5\x92\x6C\x82\xC8\x82\xE7\x90\x55\x82\xE8"
                 "\x91\xAB\x82\xB5\r\n"},
        // Ｔ＆Ｔバーサーク(揃えあり) only with parameter 0
        RuleCase{"1 6 7 0 0 ",
                 "     \x82\x73\x81\x95\x82\x73\x83\x6F\x81\x5B\x83\x54\x81\x5B\x83\x4E(\x91\xB5"
                 "\x82\xA6\x82\xA0\x82\xE8)\r\n"},
        RuleCase{"1 6 7 3 0 ",
                 "     \x82\x73\x81\x95\x82\x73\x83\x6F\x81\x5B\x83\x54\x81\x5B\x83\x4E\r\n"},
        // ゾロ目ならば振り足し
        RuleCase{"1 6 9 0 0 ",
                 "     \x83\x5D\x83\x8D\x96\xDA\x82\xC8\x82\xE7\x82\xCE\x90\x55\x82\xE8\x91\xAB"
                 "\x82\xB5\r\n"},
        RuleCase{"1 6 10 0 0 ", "     " + kMaximumDice + "\r\n"},
        RuleCase{"1 6 10 2 0 ", "     4" + kAtLeastTail + "\r\n"},
        RuleCase{"1 6 10 9 0 ", "     -3" + kAtLeastTail + "\r\n"},
        // Unknown rules end the header bare.
        RuleCase{"1 6 5 0 0 ", "\r\n"}, RuleCase{"1 6 -1 0 0 ", "\r\n"},
        RuleCase{"1 6 99 0 0 ", "\r\n"}));

TEST_F(RollReportTest, RerollMarkIsShownAndRemovedBeforeTheRuleLine) {
    // Parameter 128 is a re-roll with parameter 0: the maximum-value rule line.
    EXPECT_EQ(Bytes(RenderRollReport(Roll("taro", "3 6 10 128 0 ", "6\n"))),
              Bytes(Header("taro", kReroll + "   3 d 6     " + kMaximumDice + "\r\n") +
                    "     6 \r\n" + kTotal + "6" + kNormal + "\r\n\r\n"));
    // 130 is a re-roll with parameter 2.
    const std::string withTwo = RenderRollReport(Roll("taro", "3 6 10 130 0 ", "6\n"));
    EXPECT_NE(withTwo.find(kReroll + "   3 d 6     4" + kAtLeastTail + "\r\n"), std::string::npos);
    // Rule 7 re-rolled with parameter 0 prints the matched line.
    const std::string berserk = RenderRollReport(Roll("taro", "2 6 7 128 0 ", "3\n3\n"));
    EXPECT_NE(berserk.find("(\x91\xB5\x82\xA6\x82\xA0\x82\xE8)\r\n"), std::string::npos);
    // 127 is not a re-roll.
    const std::string plain = RenderRollReport(Roll("taro", "3 6 10 127 0 ", "6\n"));
    EXPECT_EQ(plain.find(kReroll), std::string::npos);
}

TEST_F(RollReportTest, NoteShowsItsFirstWordAfterTheRollWord) {
    EXPECT_EQ(Bytes(RenderRollReport(Roll("taro", "2 6 0 0 0 attack", "1\n2\n"))),
              Bytes(Header("taro", " (attack)   2 d 6\r\n") + "     1 2 \r\n" + kTotal + "3" +
                    k23Blanks + kAverage + "1.50" + kNormal + "\r\n\r\n"));
    const std::string severalWords =
        RenderRollReport(Roll("taro", "2 6 0 0 0 attack\tthe orc", "1\n"));
    EXPECT_NE(severalWords.find(" (attack)   2 d 6\r\n"), std::string::npos);
    EXPECT_EQ(severalWords.find("orc"), std::string::npos);
    // With a re-roll the note comes first, then the mark.
    const std::string rerolled = RenderRollReport(Roll("taro", "2 6 0 128 0 again", "1\n"));
    EXPECT_NE(rerolled.find(kRollOf + " (again)" + kReroll + "   2 d 6\r\n"), std::string::npos);
}

TEST_F(RollReportTest, NegativeModifierShowsItsMagnitudeAndLowersTheTotalNotTheAverage) {
    EXPECT_EQ(Bytes(RenderRollReport(Roll("taro", "2 6 0 0 -3 ", "4\n5\n"))),
              Bytes(Header("taro", "   2 d 6  - 3\r\n") + "     4 5 \r\n" + kTotal + "6" +
                    k23Blanks + kAverage + "4.50" + kNormal + "\r\n\r\n"));
    // A total below zero.
    const std::string below = RenderRollReport(Roll("taro", "1 6 5 0 -10 ", "4\n"));
    EXPECT_NE(below.find("  - 10\r\n"), std::string::npos);
    EXPECT_NE(below.find(kTotal + "-6" + kNormal), std::string::npos);
}

TEST_F(RollReportTest, ZeroModifierPrintsNoSignAndTotalEqualsSum) {
    const std::string report = RenderRollReport(Roll("taro", "2 6 0 0 0 ", "1\n6\n"));
    EXPECT_NE(report.find("   2 d 6\r\n"), std::string::npos);
    EXPECT_NE(report.find(kTotal + "7" + k23Blanks), std::string::npos);
}

TEST_F(RollReportTest, MissingFieldsReadAsZero) {
    EXPECT_EQ(Bytes(RenderRollReport(Roll("taro", "", ""))),
              Bytes(Header("taro", "   0 d 0\r\n") + "     \r\n" + kTotal + "0" + k23Blanks +
                    kAverage + "0.00" + kNormal + "\r\n\r\n"));
}

TEST_F(RollReportTest, AverageOfNoDiceIsZeroAndOfANegativeCountFollowsTheSign) {
    const std::string none = RenderRollReport(Roll("taro", "0 6 0 0 0 ", "3\n3\n"));
    EXPECT_NE(none.find(kTotal + "6" + k23Blanks + kAverage + "0.00" + kNormal), std::string::npos);
    const std::string negative = RenderRollReport(Roll("taro", "-2 6 0 0 0 ", "3\n3\n"));
    EXPECT_NE(negative.find("   -2 d 6\r\n"), std::string::npos);
    EXPECT_NE(negative.find(kAverage + "-3.00" + kNormal), std::string::npos);
}

// --- Dice block ---------------------------------------------------------------------------

struct DiceCase {
    std::string text;
    std::string block;
    std::int64_t sum;
};

class DiceBlockTest : public ::testing::TestWithParam<DiceCase> {};

TEST_P(DiceBlockTest, PrintsEachValueAndSumsThemAll) {
    const DiceCase& c = GetParam();
    const DiceBlock block = RenderDiceBlock(c.text);
    EXPECT_EQ(Bytes(block.text), Bytes(c.block));
    EXPECT_EQ(block.sum, c.sum);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DiceBlockTest,
    ::testing::Values(DiceCase{"4\n5\n", "     4 5 \r\n", 9},
                      // Every "0" line starts a new printed line holding only the indent.
                      DiceCase{"0\n0\n0\n", "     \r\n     \r\n     \r\n     \r\n", 0},
                      DiceCase{"3\n0\n", "     3 \r\n     \r\n", 3},
                      // Only exactly "0" breaks; "00" is a value.
                      DiceCase{"00\n5\n", "     00 5 \r\n", 5},
                      // A last value without its line feed still counts.
                      DiceCase{"4\n5", "     4 5 \r\n", 9}, DiceCase{"", "     \r\n", 0},
                      DiceCase{"\n", "      \r\n", 0},
                      // Values are read as atoi reads them; what is shown is the line as sent.
                      DiceCase{"+3\n -2\nabc\n7x\n", "     +3  -2 abc 7x \r\n", 8},
                      // A value line keeps at most 7 bytes, shown and summed alike.
                      DiceCase{"123456789\n1\n", "     1234567 1 \r\n", 1234568},
                      // ... and never half a double-byte character.
                      DiceCase{"123456\x82\xA0\n", "     123456 \r\n", 123456},
                      // The text ends at its first zero byte.
                      DiceCase{std::string("4\n\0"
                                           "5\n",
                                           5),
                               "     4 \r\n", 4}));

TEST(DiceBlockLimitTest, ManyZeroLinesStayInsideTheBlockBuffer) {
    std::string text;
    while (text.size() + 2 <= 4351) {
        text += "0\n";
    }
    const DiceBlock block = RenderDiceBlock(text);
    EXPECT_LE(block.text.size(), kDiceBlockSize - 1);
    // Whole pieces only: the block is the indent, some line breaks and the closing line end.
    std::string expected = "     ";
    while (expected.size() + 7 + 2 <= kDiceBlockSize - 1) {
        expected += "\r\n     ";
    }
    expected += "\r\n";
    EXPECT_EQ(Bytes(block.text), Bytes(expected));
    EXPECT_EQ(block.sum, 0);
}

TEST(DiceBlockLimitTest, ValuesBeyondTheBufferAreNotPrintedButStillCount) {
    std::string text;
    for (int i = 0; i < 2175; ++i) {
        text += "9\n";
    }
    const DiceBlock block = RenderDiceBlock(text);
    std::string expected = "     ";
    for (int i = 0; i < 2172; ++i) {  // 5 + 2 * 2172 + 2 = 4351 bytes
        expected += "9 ";
    }
    expected += "\r\n";
    EXPECT_EQ(Bytes(block.text), Bytes(expected));
    EXPECT_EQ(block.sum, 9 * 2175);
}

TEST(DiceBlockLimitTest, SumOfManyLargeValuesDoesNotOverflow) {
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += "9999999\n";
    }
    const DiceBlock block = RenderDiceBlock(text);
    EXPECT_EQ(block.sum, std::int64_t{9999999} * 1000);
    EXPECT_LE(block.text.size(), kDiceBlockSize - 1);
    EXPECT_EQ(block.text.substr(block.text.size() - 2), "\r\n");
}

// --- Hostile roll information -------------------------------------------------------------

TEST_F(RollReportTest, NumbersBeyondThirtyTwoBitsAreClampedAndDifferencesDoNotOverflow) {
    // Count and modifier clamp high, sides clamps low; the parameter clamps to the largest
    // value, which is a re-roll mark with 2147483519 left.
    const std::string report = RenderRollReport(
        Roll("taro", "99999999999999 -99999999999 10 99999999999 -99999999999 ", "1\n"));
    const std::string expected =
        Header("taro", kReroll + "   2147483647 d -2147483648  - 2147483648     -4294967167" +
                           kAtLeastTail + "\r\n") +
        "     1 \r\n" + kTotal + "-2147483647" + kNormal + "\r\n\r\n";
    EXPECT_EQ(Bytes(report), Bytes(expected));
}

TEST_F(RollReportTest, LongNameFillsTheHeaderBufferAndTheRuleLineSurvives) {
    const std::string name(300, 'n');
    const std::string rest = kReroll + "   2 d 6  - 5     5" + kAtLeastTail + "\r\n";
    const std::string report =
        RenderRollReport(Roll(name, "2 6 10 129 -5 " + std::string(255, 'x'), "3\n"));
    // 69 bytes of fixed text leave 186 for the name and nothing for the note.
    const std::string header = Header(std::string(186, 'n'), rest);
    ASSERT_EQ(header.size(), kRollHeaderSize - 1);
    EXPECT_EQ(Bytes(report.substr(0, header.size())), Bytes(header));
    EXPECT_EQ(Bytes(report.substr(header.size())),
              Bytes("     3 \r\n" + kTotal + "-2" + kNormal + "\r\n\r\n"));
}

TEST_F(RollReportTest, LongNoteIsCutToWhatTheNameLeaves) {
    const std::string report = RenderRollReport(
        Roll(std::string(100, 'n'), "2 6 10 129 -5 " + std::string(255, 'x'), "3\n"));
    const std::string header =
        Header(std::string(100, 'n'), " (" + std::string(83, 'x') + ")" + kReroll +
                                          "   2 d 6  - 5     5" + kAtLeastTail + "\r\n");
    ASSERT_EQ(header.size(), kRollHeaderSize - 1);
    EXPECT_EQ(Bytes(report.substr(0, header.size())), Bytes(header));
}

TEST_F(RollReportTest, HeaderCutNeverSplitsADoubleByteCharacter) {
    // 185 single bytes, then あ, which would end one byte past the room for the name.
    const std::string name = std::string(185, 'n') + "\x82\xA0" + "tail";
    const std::string report = RenderRollReport(Roll(name, "2 6 10 129 -5 note", "3\n"));
    const std::string header =
        Header(std::string(185, 'n'), kReroll + "   2 d 6  - 5     5" + kAtLeastTail + "\r\n");
    EXPECT_EQ(Bytes(report.substr(0, header.size())), Bytes(header));
}

TEST_F(RollReportTest, ThousandsOfZeroLinesGiveABoundedReport) {
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        text += "0\n";
    }
    const std::string report =
        RenderRollReport(Roll(std::string(4351, 'n'), std::string(4351, '9'), text));
    EXPECT_LE(report.size(), (kRollHeaderSize - 1) + (kDiceBlockSize - 1) + 100);
    EXPECT_EQ(Bytes(report.substr(report.size() - 6)), Bytes(kNormal + "\r\n\r\n"));
}

// --- Own-roll records ---------------------------------------------------------------------

void ExpectRoll(const OwnRoll& roll, std::int32_t count, std::int32_t sides, std::int32_t rule,
                std::int32_t parameter, std::int32_t modifier, const std::string& dice,
                const std::string& note) {
    EXPECT_EQ(roll.count, count);
    EXPECT_EQ(roll.sides, sides);
    EXPECT_EQ(roll.rule, rule);
    EXPECT_EQ(roll.parameter, parameter);
    EXPECT_EQ(roll.modifier, modifier);
    EXPECT_EQ(Bytes(roll.diceText.view()), Bytes(dice));
    EXPECT_EQ(Bytes(roll.note.view()), Bytes(note));
}

TEST_F(RollReportTest, OwnRollsShiftThroughTheTwoRecords) {
    RecordIfOwnRoll(Roll("taro", "2 6 0 0 3 first", "4\n5\n"), "taro");
    ExpectRoll(LastOwnRoll(), 2, 6, 0, 0, 3, "4\n5\n", "first");
    ExpectRoll(PreviousOwnRoll(), 0, 0, 0, 0, 0, "", "");

    // The re-roll mark is not kept; the dice text is kept exactly as received.
    RecordIfOwnRoll(Roll("taro", "3 6 10 129 -1 ", "6\n0\n3"), "taro");
    ExpectRoll(LastOwnRoll(), 3, 6, 10, 1, -1, "6\n0\n3", "");
    ExpectRoll(PreviousOwnRoll(), 2, 6, 0, 0, 3, "4\n5\n", "first");
}

TEST_F(RollReportTest, OtherRollersLeaveTheRecordsAlone) {
    RecordIfOwnRoll(Roll("taro", "2 6 0 0 0 ", "1\n2\n"), "taro");
    RecordIfOwnRoll(Roll("hanako", "4 10 0 0 0 ", "1\n2\n3\n4\n"), "taro");
    RecordIfOwnRoll(Roll("Taro", "4 10 0 0 0 ", "1\n"), "taro");   // bytes differ
    RecordIfOwnRoll(Roll("taro2", "4 10 0 0 0 ", "1\n"), "taro");  // so do these
    ExpectRoll(LastOwnRoll(), 2, 6, 0, 0, 0, "1\n2\n", "");
    ExpectRoll(PreviousOwnRoll(), 0, 0, 0, 0, 0, "", "");
}

TEST_F(RollReportTest, WithoutAConfirmedHandleNoRollIsOwn) {
    RecordIfOwnRoll(Roll("", "2 6 0 0 0 ", "1\n2\n"), "");
    ExpectRoll(LastOwnRoll(), 0, 0, 0, 0, 0, "", "");
}

TEST_F(RollReportTest, RecordedNoteIsCutToItsFieldAtACharacterBoundary) {
    const std::string note = std::string(62, 'x') + "\x82\xA0";
    RecordIfOwnRoll(Roll("taro", "1 6 0 0 0 " + note, "1\n"), "taro");
    EXPECT_EQ(Bytes(LastOwnRoll().note.view()), Bytes(std::string(62, 'x')));
}

}  // namespace
}  // namespace tessel
