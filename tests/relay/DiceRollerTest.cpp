// SPDX-License-Identifier: MIT

#include "relay/DiceRoller.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "ScriptedDice.h"

namespace tessel::relay {
namespace {

using test::ScriptedDice;

struct RuleCase {
    const char* name;
    DiceRoll roll;
    std::vector<int> dice;
    std::string text;
};

class Rules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(Rules, RollRoundsByTheRule) {
    const RuleCase& c = GetParam();
    ScriptedDice dice(c.dice, 1);
    EXPECT_EQ(RollRounds(c.roll, dice, 4096), c.text);
}

// Values past the script are 1, which never triggers a rule with 2 or more sides.
INSTANTIATE_TEST_SUITE_P(
    Dice, Rules,
    ::testing::Values(
        RuleCase{"PlainRollIsOneRound", {2, 6, 0, 0}, {6, 6}, "6\n6\n"},
        RuleCase{"UnknownRuleIsOneRound", {2, 6, 5, 0}, {6, 6}, "6\n6\n"},
        RuleCase{"AnyMaxAgain", {2, 6, 1, 0}, {6, 2, 3, 6, 2, 2}, "6\n2\n0\n3\n6\n0\n2\n2\n"},
        RuleCase{"AnyMaxStops", {2, 6, 1, 0}, {5, 2}, "5\n2\n"},
        RuleCase{"AllMaxAgain", {2, 6, 2, 0}, {6, 6, 6, 5}, "6\n6\n0\n6\n5\n"},
        RuleCase{"AllMaxNeedsEvery", {2, 6, 2, 0}, {6, 5}, "6\n5\n"},
        RuleCase{"BerserkPairAgain", {3, 6, 7, 0}, {2, 5, 2, 1, 3, 4}, "2\n5\n2\n0\n1\n3\n4\n"},
        RuleCase{"BerserkPairNeedsAPair", {3, 6, 7, 0}, {1, 2, 3}, "1\n2\n3\n"},
        RuleCase{"BerserkAllSameAgain", {2, 6, 7, 1}, {4, 4, 4, 3}, "4\n4\n0\n4\n3\n"},
        RuleCase{"BerserkAllSameNotForAPairOfThree", {3, 6, 7, 1}, {4, 4, 3}, "4\n4\n3\n"},
        RuleCase{"BerserkOneDieNeverRepeats", {1, 6, 7, 1}, {4}, "4\n"},
        RuleCase{"DoublesAgain", {2, 6, 9, 0}, {3, 3, 5, 2}, "3\n3\n0\n5\n2\n"},
        RuleCase{"DoublesNeedTwoDice", {1, 6, 9, 0}, {3}, "3\n"},
        // Rule 10: one new die per die at sides - parameter or more.
        RuleCase{"ExplodeMaximum", {3, 6, 10, 0}, {6, 6, 2, 6, 1, 3}, "6\n6\n2\n0\n6\n1\n0\n3\n"},
        RuleCase{"ExplodeFromFive", {3, 6, 10, 1}, {5, 6, 4, 2, 5, 3}, "5\n6\n4\n0\n2\n5\n0\n3\n"},
        RuleCase{"ExplodeNothing", {2, 6, 10, 0}, {1, 2}, "1\n2\n"}),
    [](const ::testing::TestParamInfo<RuleCase>& info) { return info.param.name; });

TEST(DiceRounds, StopAfterTenRounds) {
    ScriptedDice dice({}, 6);  // every die at the maximum
    const std::optional<std::string> text = RollRounds({2, 6, 1, 0}, dice, 4096);
    ASSERT_TRUE(text.has_value());
    std::string expected = "6\n6\n";
    for (int round = 1; round < 10; ++round) {
        expected += "0\n6\n6\n";
    }
    EXPECT_EQ(*text, expected);
    EXPECT_EQ(dice.rolls(), 20);
}

TEST(DiceRounds, ExplodingRoundsStopAfterTenToo) {
    ScriptedDice dice({}, 6);
    RollRounds({3, 6, 10, 0}, dice, 4096);
    EXPECT_EQ(dice.rolls(), 30);
}

TEST(DiceRounds, RollWithTheAskedSides) {
    ScriptedDice dice({}, 1);
    RollRounds({1, 100, 0, 0}, dice, 4096);
    EXPECT_EQ(dice.lastSides(), 100);
}

TEST(DiceRounds, ARoundThatWouldNotFitEndsTheRoll) {
    ScriptedDice dice({}, 6);
    // 2 dice a round: 4 bytes for the first round, 6 for each further one.
    EXPECT_EQ(RollRounds({2, 6, 1, 0}, dice, 15), "6\n6\n0\n6\n6\n");
    EXPECT_EQ(RollRounds({2, 6, 1, 0}, dice, 16), "6\n6\n0\n6\n6\n0\n6\n6\n");
    EXPECT_EQ(RollRounds({2, 6, 1, 0}, dice, 3), std::nullopt);
}

TEST(DiceRounds, TheLargestRollFitsTheBody) {
    ScriptedDice dice({}, 255);
    const std::optional<std::string> text = RollRounds({255, 255, 1, 0}, dice, 4096);
    ASSERT_TRUE(text.has_value());
    EXPECT_LE(text->size(), 4096u);
    // Four rounds of 255 three-digit dice with their three separators; a fifth would not fit.
    EXPECT_EQ(text->size(), 4u * 1020 + 3u * 2);
}

TEST(NextRoundDice, FollowsTheTable) {
    const std::array<int, 3> round = {6, 6, 1};
    EXPECT_EQ(NextRoundDice({3, 6, 1, 0}, round), 3);
    EXPECT_EQ(NextRoundDice({3, 6, 2, 0}, round), 0);
    EXPECT_EQ(NextRoundDice({3, 6, 7, 0}, round), 3);
    EXPECT_EQ(NextRoundDice({3, 6, 7, 2}, round), 0);
    EXPECT_EQ(NextRoundDice({3, 6, 9, 0}, round), 0);
    EXPECT_EQ(NextRoundDice({3, 6, 10, 0}, round), 2);
    EXPECT_EQ(NextRoundDice({3, 6, 10, 5}, round), 3);
    EXPECT_EQ(NextRoundDice({3, 6, 0, 0}, round), 0);
    EXPECT_EQ(NextRoundDice({3, 6, 3, 0}, round), 0);
}

TEST(SeededDice, TheSameSeedGivesTheSameDice) {
    SeededDice a(42);
    SeededDice b(42);
    SeededDice c(43);
    int differences = 0;
    for (int i = 0; i < 100; ++i) {
        const int x = a.Roll(100);
        EXPECT_EQ(x, b.Roll(100));
        differences += x != c.Roll(100) ? 1 : 0;
    }
    EXPECT_GT(differences, 50);
}

// Every face of every die size from 1 to 255 turns up, and no value falls outside.
template <typename Source>
void ExpectFairFaces(Source& source) {
    for (int sides = 1; sides <= 255; sides += 17) {
        std::vector<int> seen(static_cast<std::size_t>(sides) + 1, 0);
        const int rolls = sides * 200;
        for (int i = 0; i < rolls; ++i) {
            const int v = source.Roll(sides);
            ASSERT_GE(v, 1);
            ASSERT_LE(v, sides);
            ++seen[static_cast<std::size_t>(v)];
        }
        for (int face = 1; face <= sides; ++face) {
            // 200 expected per face; a fair die stays far inside these bounds.
            EXPECT_GT(seen[static_cast<std::size_t>(face)], 100)
                << sides << " sides, face " << face;
            EXPECT_LT(seen[static_cast<std::size_t>(face)], 300)
                << sides << " sides, face " << face;
        }
    }
}

TEST(SeededDice, RollsEveryFaceFairly) {
    SeededDice dice(7);
    ExpectFairFaces(dice);
}

TEST(SystemDice, RollsWithinTheFaces) {
    ASSERT_TRUE(SystemDice::Available());
    SystemDice dice;
    for (int i = 0; i < 10000; ++i) {
        const int v = dice.Roll(6);
        ASSERT_GE(v, 1);
        ASSERT_LE(v, 6);
    }
    EXPECT_EQ(dice.Roll(1), 1);
}

TEST(MakeDiceSource, SeededWhenASeedIsGiven) {
    std::unique_ptr<DiceSource> a = MakeDiceSource(5);
    SeededDice b(5);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(a->Roll(20), b.Roll(20));
    }
}

}  // namespace
}  // namespace tessel::relay
