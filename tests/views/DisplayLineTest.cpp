// SPDX-License-Identifier: MIT

#include "views/DisplayLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/Bytes.h"
#include "support/ProtocolFixture.h"
#include "views/RollReport.h"

namespace tessel {
namespace {

using test::Bytes;

const std::string kNormal = "\xFC\xFC";
const std::string kName = "\xFC\xFB";
const std::string kSystem = "\xFC\xFA";
const std::string kDice = "\xFC\xF9";

constexpr ColourMarker Normal = ColourMarker::Normal;
constexpr ColourMarker Name = ColourMarker::Name;
constexpr ColourMarker System = ColourMarker::System;
constexpr ColourMarker Dice = ColourMarker::Dice;

DisplayItem Item(DisplayKind kind, std::string name, std::string text,
                 std::int32_t systemName = 0) {
    DisplayItem item;
    item.kind = kind;
    item.name = std::move(name);
    item.text = std::move(text);
    item.systemName = systemName;
    return item;
}

// Prints runs readably when a comparison fails.
std::string Describe(const std::vector<ColouredRun>& runs) {
    std::string out;
    for (const ColouredRun& run : runs) {
        out += "[" + std::to_string(static_cast<int>(run.slot)) + "]";
        for (const char c : run.bytes) {
            const auto b = static_cast<unsigned char>(c);
            if (b >= 0x20 && b < 0x7F) {
                out += c;
            } else {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", b);
                out += hex;
            }
        }
    }
    return out;
}

// --- Building the line of each item kind --------------------------------------------------

class DisplayLineTest : public test::ProtocolStateTest {};

TEST_F(DisplayLineTest, ChatFromAUserHasNameColourThenNormalTextAndALineEnd) {
    const DisplayItem item = Item(DisplayKind::Chat, "taro", "hello");
    EXPECT_EQ(Bytes(BuildDisplayLine(item)), Bytes(kName + "taro:" + kNormal + " hello\r\n"));
    EXPECT_TRUE(RunsNotifyCheck(item));
}

TEST_F(DisplayLineTest, ChatInTheSystemColourAddsNoLineEnd) {
    const DisplayItem item = Item(DisplayKind::Chat, "system", "joined", 1);
    EXPECT_EQ(Bytes(BuildDisplayLine(item)), Bytes(kSystem + "system: joined" + kNormal));
    EXPECT_FALSE(RunsNotifyCheck(item));
    // Any non-zero flag counts as set.
    EXPECT_EQ(Bytes(BuildDisplayLine(Item(DisplayKind::Chat, "x", "y", 7))),
              Bytes(kSystem + "x: y" + kNormal));
}

TEST_F(DisplayLineTest, SystemItemIsWhollyInTheSystemColour) {
    const DisplayItem item = Item(DisplayKind::System, "", "Connected.\r\n");
    EXPECT_EQ(Bytes(BuildDisplayLine(item)), Bytes(kSystem + "Connected.\r\n" + kNormal));
    EXPECT_FALSE(RunsNotifyCheck(item));
}

TEST_F(DisplayLineTest, RollItemIsTheRollReportAndRecordsNothing) {
    DisplayItem item = Item(DisplayKind::Roll, "taro", "4\n5\n");
    item.rollInfo = {2, 6, 0, 0, 3, ""};
    const std::string line = BuildDisplayLine(item);
    EXPECT_EQ(line.substr(0, 6), "    " + kName);
    EXPECT_EQ(LastOwnRoll().count, 0);
    EXPECT_EQ(Bytes(line), Bytes(RenderRollReport(item)));
    EXPECT_FALSE(RunsNotifyCheck(item));
}

TEST_F(DisplayLineTest, OtherKindsShowTheirTextUnchanged) {
    const DisplayItem item = Item(static_cast<DisplayKind>(5), "taro", "as is" + kDice + "x");
    EXPECT_EQ(Bytes(BuildDisplayLine(item)), Bytes("as is" + kDice + "x"));
    EXPECT_FALSE(RunsNotifyCheck(item));
}

TEST_F(DisplayLineTest, FieldsEndAtTheirFirstZeroByte) {
    const DisplayItem item =
        Item(DisplayKind::Chat, std::string("taro\0x", 6), std::string("hi\0there", 8));
    EXPECT_EQ(Bytes(BuildDisplayLine(item)), Bytes(kName + "taro:" + kNormal + " hi\r\n"));
}

// --- Splitting into coloured runs ---------------------------------------------------------

struct SplitCase {
    const char* what;
    std::string text;
    ColourMarker slotInForce;
    std::vector<ColouredRun> runs;
    ColourMarker slotAfter;
};

class SplitTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, PaintsEachPieceInTheSlotOfTheMarkerBeforeIt) {
    const SplitCase& c = GetParam();
    const ColouredSplit split = SplitColouredRuns(c.text, c.slotInForce);
    EXPECT_EQ(Describe(split.runs), Describe(c.runs)) << c.what;
    EXPECT_EQ(split.slotAfter, c.slotAfter) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Runs, SplitTest,
    ::testing::Values(
        SplitCase{"chat line",
                  kName + "taro:" + kNormal + " hello\r\n",
                  Normal,
                  {{Name, "taro:"}, {Normal, " hello\r\n"}},
                  Normal},
        SplitCase{"text before the first marker keeps the slot in force",
                  "    " + kName + "taro" + kDice + "roll",
                  System,
                  {{System, "    "}, {Name, "taro"}, {Dice, "roll"}},
                  Normal},
        SplitCase{"a text ending on a marker hands its slot on",
                  "abc" + kName,
                  Normal,
                  {{Normal, "abc"}},
                  Name},
        SplitCase{"an empty text keeps the slot in force", "", Dice, {}, Dice},
        SplitCase{"empty pieces paint nothing",
                  kName + kSystem + kDice + "x" + kNormal + kName,
                  Normal,
                  {{Dice, "x"}},
                  Name},
        SplitCase{"only markers", kName + kNormal, Dice, {}, Normal},
        // 0x81 0xFC is one character; the 0xFB after it is text.
        SplitCase{"0xFC as a trail byte is never a marker",
                  "a\x81\xFC\xFB"
                  "b",
                  Normal,
                  {{Normal,
                    "a\x81\xFC\xFB"
                    "b"}},
                  Normal},
        SplitCase{"a marker right after a double-byte character",
                  "\x82\xA0" + kName + "b",
                  Normal,
                  {{Normal, "\x82\xA0"}, {Name, "b"}},
                  Normal},
        SplitCase{"a lead byte without a trail stands alone",
                  "\x81\n" + kName + "x",
                  Normal,
                  {{Normal, "\x81\n"}, {Name, "x"}},
                  Normal},
        SplitCase{"0xFC with a byte that is no marker is a character",
                  "\xFC\x41" + kName + "x",
                  Normal,
                  {{Normal, "\xFC\x41"}, {Name, "x"}},
                  Normal},
        SplitCase{"a lone 0xFC at the end is text", "ab\xFC", Name, {{Name, "ab\xFC"}}, Normal},
        // 0xFC 0xFC 0xFB: the first pair is the marker, the 0xFB after it is text.
        SplitCase{
            "pairs are taken from the left", "\xFC\xFC\xFB", Dice, {{Normal, "\xFB"}}, Normal}));

TEST(ColourRunSplitterTest, CarriesTheSlotFromOneTextToTheNext) {
    ColourRunSplitter splitter;
    EXPECT_EQ(splitter.slot(), Normal);

    // A system-coloured chat line without a line end: the next item continues on its line.
    EXPECT_EQ(Describe(splitter.Split(kSystem + "system: connecting")),
              Describe({{System, "system: connecting"}}));
    EXPECT_EQ(splitter.slot(), Normal);

    EXPECT_EQ(Describe(splitter.Split("left " + kDice)), Describe({{Normal, "left "}}));
    EXPECT_EQ(splitter.slot(), Dice);
    EXPECT_EQ(Describe(splitter.Split("")), Describe({}));
    EXPECT_EQ(splitter.slot(), Dice);
    EXPECT_EQ(Describe(splitter.Split("carried" + kName + "n")),
              Describe({{Dice, "carried"}, {Name, "n"}}));
    EXPECT_EQ(splitter.slot(), Normal);
}

TEST_F(DisplayLineTest, RollReportRunsFollowTheReportColours) {
    DisplayItem item = Item(DisplayKind::Roll, "taro", "4\n5\n");
    item.rollInfo = {2, 6, 0, 0, 3, ""};
    ColourRunSplitter splitter;
    const std::vector<ColouredRun> runs = splitter.Split(BuildDisplayLine(item));
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0], (ColouredRun{Normal, "    "}));
    EXPECT_EQ(runs[1], (ColouredRun{Name, "taro"}));
    EXPECT_EQ(runs[2].slot, Dice);
    EXPECT_EQ(runs[3], (ColouredRun{Normal, "\r\n\r\n"}));
    EXPECT_EQ(splitter.slot(), Normal);
}

// --- The log line -------------------------------------------------------------------------

TEST(LogLineTest, HoldsExactlyTheShownCharactersWithoutMarkers) {
    EXPECT_EQ(Bytes(LogLineOf(kName + "taro:" + kNormal + " hello\r\n")), Bytes("taro: hello\r\n"));
    EXPECT_EQ(Bytes(LogLineOf(kSystem + "line\r\n" + kNormal)), Bytes("line\r\n"));
    EXPECT_EQ(Bytes(LogLineOf(kNormal + kName + kSystem + kDice)), Bytes(""));
    EXPECT_EQ(Bytes(LogLineOf("")), Bytes(""));
    // The double-byte character 0x81 0xFC stays whole; a byte-wise removal would tear it.
    EXPECT_EQ(Bytes(LogLineOf("a\x81\xFC\xFB"
                              "b")),
              Bytes("a\x81\xFC\xFB"
                    "b"));
    EXPECT_EQ(Bytes(LogLineOf("\xFC\xFC\xFB")), Bytes("\xFB"));
}

TEST_F(DisplayLineTest, LogOfARollReportIsThePlainReport) {
    DisplayItem item = Item(DisplayKind::Roll, "taro", "4\n5\n");
    item.rollInfo = {2, 6, 0, 0, 3, ""};
    EXPECT_EQ(Bytes(LogLineOf(BuildDisplayLine(item))),
              Bytes("    taro\x82\xCC\x83\x8D\x81\x5B\x83\x8B   2 d 6  + 3\r\n"
                    "     4 5 \r\n"
                    "    \x8D\x87\x8C\x76\x92\x6C: 12                       "
                    "\x95\xBD\x8B\xCF\x92\x6C: 4.50\r\n\r\n"));
}

// --- Character helpers --------------------------------------------------------------------

TEST(ShiftJisTest, CutsOnlyAtCharacterBoundaries) {
    EXPECT_EQ(Bytes(CutAtCharacter("ab\x82\xA0"
                                   "c",
                                   3)),
              Bytes("ab"));
    EXPECT_EQ(Bytes(CutAtCharacter("ab\x82\xA0"
                                   "c",
                                   4)),
              Bytes("ab\x82\xA0"));
    EXPECT_EQ(Bytes(CutAtCharacter("ab\x82\xA0"
                                   "c",
                                   9)),
              Bytes("ab\x82\xA0"
                    "c"));
    EXPECT_EQ(Bytes(CutAtCharacter("\x82\xA0", 1)), Bytes(""));
    EXPECT_EQ(Bytes(CutAtCharacter("\x82\n", 1)), Bytes("\x82"));
    EXPECT_EQ(ShiftJisCharLength("\x82\xA0", 0), 2u);
    EXPECT_EQ(ShiftJisCharLength("\x82", 0), 1u);
    EXPECT_EQ(ShiftJisCharLength("\xA0\x82", 0), 1u);  // half-width katakana
    EXPECT_EQ(ShiftJisCharLength("\x82\x7F", 0), 1u);  // 0x7F is no trail byte
}

}  // namespace
}  // namespace tessel

namespace tessel {
namespace {

// A peer's handle or notice ending in a lone lead byte must not swallow the marker after it.
TEST(WholeCharactersTest, ALoneLeadByteBeforeAMarkerIsDropped) {
    EXPECT_EQ(WholeCharacters("taro\x81"), "taro");
    EXPECT_EQ(WholeCharacters("taro\xFC"), "taro");
    EXPECT_EQ(WholeCharacters("\x82\xA0"), "\x82\xA0");
    EXPECT_EQ(WholeCharacters(""), "");

    DisplayItem notice{"", "lost\x81", DisplayKind::System, 0, {}};
    const ColouredSplit split = SplitColouredRuns(BuildDisplayLine(notice), ColourMarker::Normal);
    ASSERT_EQ(split.runs.size(), 1u);
    EXPECT_EQ(split.runs[0].bytes, "lost");
    EXPECT_EQ(split.slotAfter, ColourMarker::Normal);

    DisplayItem roll{"taro\x81", "3\n", DisplayKind::Roll, 0, {1, 6, 0, 0, 0, ""}};
    const ColouredSplit report = SplitColouredRuns(BuildDisplayLine(roll), ColourMarker::Normal);
    ASSERT_GE(report.runs.size(), 3u);
    EXPECT_EQ(report.runs[0].bytes, "    ");
    EXPECT_EQ(report.runs[1].slot, ColourMarker::Name);
    EXPECT_EQ(report.runs[1].bytes, "taro");
    EXPECT_EQ(report.runs[2].slot, ColourMarker::Dice);
}

}  // namespace
}  // namespace tessel
