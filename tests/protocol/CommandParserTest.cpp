// SPDX-License-Identifier: MIT

#include "protocol/CommandParser.h"

#include <gtest/gtest.h>

#include <string>

#include "support/Bytes.h"
#include "support/ProtocolFixture.h"

namespace tessel {
namespace {

using test::Bytes;

// What one prepared request looks like, compared as a whole so a failure shows every field.
struct Prepared {
    CommandCode command = CommandCode::Other;
    std::string commandLine;
    std::string arguments;
    std::int32_t rollSlot = 0;
    std::string id;
    std::string body;
    ContentType contentType = ContentType::Other;
    std::int32_t contentLength = 0;

    friend bool operator==(const Prepared&, const Prepared&) = default;
    friend void PrintTo(const Prepared& p, std::ostream* os) {
        *os << "{command " << ToInt(p.command) << ", line ";
        PrintTo(Bytes(p.commandLine), os);
        *os << ", args ";
        PrintTo(Bytes(p.arguments), os);
        *os << ", slot " << p.rollSlot << ", id ";
        PrintTo(Bytes(p.id), os);
        *os << ", body ";
        PrintTo(Bytes(p.body), os);
        *os << ", type " << static_cast<int>(p.contentType) << ", length " << p.contentLength
            << "}";
    }
};

Prepared Prepare(std::string_view text) {
    ProtocolMessage message;
    PrepareOutgoing(message, text);
    return {message.command,
            message.commandLine.str(),
            message.arguments.str(),
            message.rollSlot,
            message.id.str(),
            std::string(message.body.bytes(static_cast<std::size_t>(message.contentLength))),
            message.contentType,
            message.contentLength};
}

OwnRoll Roll(int count, int sides, int rule, int parameter, int modifier, std::string dice,
             std::string note = "") {
    OwnRoll roll;
    roll.count = count;
    roll.sides = sides;
    roll.rule = rule;
    roll.parameter = parameter;
    roll.modifier = modifier;
    roll.diceText.assign(dice);
    roll.note.assign(note);
    return roll;
}

using PrepareTest = test::ProtocolStateTest;

TEST_F(PrepareTest, DiceExpressionsBecomeRolls) {
    EXPECT_EQ(Prepare("2d6"),
              (Prepared{CommandCode::Roll, "2d6", "2 6 0 0", 0, "m255000000000000x", "", {}, 0}));
    EXPECT_EQ(Prepare("3d6+2 attack"), (Prepared{CommandCode::Roll,
                                                 "3d6+2 attack",
                                                 "3 6 0 0",
                                                 2,
                                                 "m25500001000+002xattack",
                                                 "",
                                                 {},
                                                 0}));
    EXPECT_EQ(MessageSequence(), 2);
    EXPECT_EQ(
        Prepare("2d10-1"),
        (Prepared{CommandCode::Roll, "2d10-1", "2 10 0 0", -1, "m25500002000-001x", "", {}, 0}));
}

TEST_F(PrepareTest, LargeModifiersStayWithinTheirThreeDigits) {
    EXPECT_EQ(Prepare("2d6+1234 note").id, "m25500000000+999xnote");
}

TEST_F(PrepareTest, ModifierIdUsesTheOnlySequenceNumber) {
    Prepare("3d6+2 attack");
    EXPECT_EQ(MessageSequence(), 1);
    EXPECT_EQ(Prepare("1d20+0").id, "m255000010000000x");  // +0 is no modifier
}

struct RuleCase {
    std::string text;
    DiceExpression dice;
};

class RuleLetters : public ::testing::TestWithParam<RuleCase> {};

TEST_P(RuleLetters, ReadRuleParameterFakeAndModifier) {
    EXPECT_EQ(ReadDiceExpression(GetParam().text), GetParam().dice) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Dice, RuleLetters,
    ::testing::Values(RuleCase{"1d100a", {1, 100, 1, 0, false, false, 0}},
                      RuleCase{"2d6t", {2, 6, 7, 0, false, false, 0}},
                      RuleCase{"2d6K", {2, 6, 7, 1, false, false, 0}},
                      RuleCase{"2d6m", {2, 6, 10, 0, false, false, 0}},
                      RuleCase{"2d6D6", {2, 6, 9, 0, false, false, 0}},
                      RuleCase{"2d6f", {2, 6, 0, 0, true, false, 0}},
                      RuleCase{"2d6af", {2, 6, 1, 0, true, false, 0}},
                      RuleCase{"2D6x+3", {2, 6, 0, 0, false, false, 0}},
                      RuleCase{"2d", {2, 0, 0, 0, false, false, 0}},
                      RuleCase{"2d6-0", {2, 6, 0, 0, false, true, 0}},
                      RuleCase{"10d10a-15", {10, 10, 1, 0, false, true, -15}},
                      RuleCase{"99999999999d6", {2147483647, 6, 0, 0, false, false, 0}},
                      // The ID has three digits for the modifier.
                      RuleCase{"2d6+1234", {2, 6, 0, 0, false, true, 999}},
                      RuleCase{"2d6-99999999999", {2, 6, 0, 0, false, true, -999}}));

TEST(DiceExpressionTest, NeedsDigitsThenD) {
    EXPECT_FALSE(ReadDiceExpression("2x6"));
    EXPECT_FALSE(ReadDiceExpression("d6"));
    EXPECT_FALSE(ReadDiceExpression(" 2d6"));
    EXPECT_FALSE(ReadDiceExpression("12"));
}

TEST_F(PrepareTest, FakeDiceExpressionsSendTheirOwnValues) {
    EXPECT_EQ(Prepare("2d6f 3 4 cheat"),
              (Prepared{CommandCode::FakeRoll, "FAKEROLL 2 6 0 0 3 4 cheat", "2 6 0 0", 0,
                        "m255000000000000xcheat", "3\n4\n", ContentType::Result, 4}));
    EXPECT_EQ(Prepare("2d6af 5"),
              (Prepared{CommandCode::FakeRoll, "FAKEROLL 2 6 1 0 5", "2 6 1 0", 0,
                        "m255000010000000x", "5\n", ContentType::Result, 2}));
    // The modifier goes into the ID; the dice are still the typed ones.
    EXPECT_EQ(Prepare("2d6f+1 3 4"),
              (Prepared{CommandCode::FakeRoll, "FAKEROLL 2 6 0 0 3 4", "2 6 0 0", 1,
                        "m25500002000+001x", "3\n4\n", ContentType::Result, 4}));
    // A typed FAKEROLL takes its dice from word 5 on.
    EXPECT_EQ(Prepare("FAKEROLL 1 20 0 0 17 note"),
              (Prepared{CommandCode::FakeRoll, "FAKEROLL 1 20 0 0 17 note", "1 20 0 0", 0,
                        "m255000030000000xnote", "17\n", ContentType::Result, 3}));
}

TEST_F(PrepareTest, OverLongNotesAreDropped) {
    const std::string note(33, 'n');
    EXPECT_EQ(Prepare("2d6 " + note).id, "");
    EXPECT_EQ(Prepare("2d6 " + std::string(32, 'n')).id,
              "m255000000000000x" + std::string(32, 'n'));
    // For a fake roll the over-long note withholds the body.
    const Prepared fake = Prepare("2d6f 3 4 " + note);
    EXPECT_EQ(fake.contentLength, 0);
    EXPECT_EQ(fake.id, "");
    // A note of 16 half-width kana widens to 32 bytes and still fits; 17 do not.
    EXPECT_EQ(Prepare("1d6 " + std::string(16, '\xB1')).id.size(), 17u + 32u);
    EXPECT_EQ(Prepare("1d6 " + std::string(17, '\xB1')).id, "");
}

TEST_F(PrepareTest, OverLongFakeRollLineIsCutAtACharacter) {
    // Each value is one word: the rewritten line grows past the field.
    std::string text = "2d6f";
    for (int i = 0; i < 120; ++i) {
        text += " 6";
    }
    const Prepared fake = Prepare(text);
    EXPECT_EQ(fake.command, CommandCode::FakeRoll);
    EXPECT_LE(fake.commandLine.size(), 255u);
    EXPECT_EQ(fake.arguments, "2 6 0 0");
    EXPECT_EQ(fake.contentLength, 240);  // the body keeps every value

    ProtocolMessage message;
    // The rewritten line puts the pairs at even offsets after an odd prefix: a byte cut
    // at 255 would end on a lead byte.
    message.commandLine.assign("2d6f x" + std::string(248, '\x82'));
    ParseCommandText(message, false);
    const std::string_view line = message.commandLine.view();
    std::size_t p = 0;
    while (p < line.size()) {
        p += (static_cast<unsigned char>(line[p]) >= 0x81) ? 2 : 1;
    }
    EXPECT_EQ(p, line.size()) << "a two-byte character was split";
}

TEST_F(PrepareTest, MessagesAndSoundRequests) {
    EXPECT_EQ(Prepare("m bob hello there"),
              (Prepared{CommandCode::SendMesg, "m bob hello there", "bob", 0, "",
                        "to bob: hello there", ContentType::Euc, 19}));
    EXPECT_EQ(Prepare("SENDMESG * hello"), (Prepared{CommandCode::SendMesg, "SENDMESG * hello", "*",
                                                     0, "", "hello", ContentType::Euc, 5}));
    EXPECT_EQ(Prepare("s fanfare"),
              (Prepared{CommandCode::SendMesg, "s fanfare", "*", 0, "", "CC SOUNDPLAY fanfare.wav",
                        ContentType::Binary, 24}));
    // The body of a message travels in EUC-JP: "あ" is 0x82 0xA0 here, 0xA4 0xA2 there.
    EXPECT_EQ(Prepare("M bob \x82\xA0").body, "to bob: \xA4\xA2");
}

TEST_F(PrepareTest, PlainTextAndUnknownWordsBecomeChat) {
    EXPECT_EQ(Prepare("2x6"), (Prepared{CommandCode::SendMesg, "SENDMESG *", "*", 0, "", "2x6",
                                        ContentType::Euc, 3}));
    EXPECT_EQ(Prepare("FILE a.txt").body, "FILE a.txt");
    EXPECT_EQ(Prepare("READY 1").body, "READY 1");
    EXPECT_EQ(Prepare("RESPONSE 000 1").body, "RESPONSE 000 1");
    EXPECT_EQ(Prepare("SHOW 2 6").command, CommandCode::SendMesg);
    EXPECT_EQ(Prepare("\xB1\xB2").body, "\xA5\xA2\xA5\xA4");
    // Local commands stay as they are for the sender to act on.
    EXPECT_EQ(Prepare("CMD QUIT").command, CommandCode::Cmd);
    EXPECT_EQ(Prepare("\n").command, CommandCode::None);
    EXPECT_EQ(Prepare("\r\nLIST").command, CommandCode::None);
}

TEST_F(PrepareTest, LongChatKeepsItsWholeTextInTheBody) {
    const std::string text(1000, 'c');
    const Prepared chat = Prepare(text);
    EXPECT_EQ(chat.commandLine, "SENDMESG *");
    EXPECT_EQ(chat.body, text);
    const Prepared huge = Prepare(std::string(5000, 'c'));
    EXPECT_EQ(huge.contentLength, static_cast<std::int32_t>(kBodySize - 3));
}

TEST_F(PrepareTest, CommandIdsForOpenJoinOperate) {
    EXPECT_EQ(Prepare("OPEN taro").id, "m25500000000r002");
    EXPECT_EQ(Prepare("JOIN #main").id, "m25500001000r008");
    EXPECT_EQ(Prepare("OPERATE x").id, "m25500002000r013");
    EXPECT_EQ(Prepare("LIST").id, "");
}

TEST_F(PrepareTest, RerollsReplayTheOwnRollSlots) {
    RecordOwnRoll(Roll(2, 10, 1, 0, -2, "3\n10\n", "old"));
    RecordOwnRoll(Roll(3, 6, 0, 0, 0, "1\n2\n3\n"));
    EXPECT_EQ(Prepare("bsk"), (Prepared{CommandCode::ReRoll, "REROLL 7", "3 6 7 0", 0, "",
                                        "1\n2\n3\n", ContentType::Result, 6}));
    EXPECT_EQ(Prepare("bsk2"),
              (Prepared{CommandCode::ReRoll, "REROLL 7", "2 10 7 0", 1, "m25500000000-002xold",
                        "3\n10\n", ContentType::Result, 5}));
    EXPECT_EQ(Prepare("REROLL 9 2").arguments, "3 6 9 2");
    EXPECT_EQ(Prepare("REROLL").arguments, "3 6 0 0");
}

TEST_F(PrepareTest, Bsk2RequestLineNamesTheSameRollAsItsBody) {
    RecordOwnRoll(Roll(2, 10, 0, 4, 0, "3\n10\n"));
    RecordOwnRoll(Roll(3, 6, 0, 0, 0, "1\n2\n3\n"));
    ProtocolMessage message;
    PrepareOutgoing(message, "bsk2");
    std::string out;
    message.AssembleRequest(out);
    EXPECT_EQ(Bytes(out), Bytes("TesseraRELAY 0.2\ntoServer\nREROLL 2 10 7 4\n"
                                "Content-length: 5\nContent-type: tesra/result\n"
                                "ID: a25500000000\n\n3\n10\n"));
}

TEST_F(PrepareTest, FakeKeywordReplaysTheLastRoll) {
    RecordOwnRoll(Roll(2, 6, 1, 0, 3, "6\n6\n0\n2\n5\n", "hit"));
    EXPECT_EQ(Prepare("fake"),
              (Prepared{CommandCode::FakeRoll, "FAKEROLL 2 6 1 0", "2 6 1 0", 1,
                        "m25500000000+003xhit", "6\n6\n0\n2\n5\n", ContentType::Result, 10}));
}

TEST_F(PrepareTest, ReplayedNotesTravelInEucJp) {
    // "攻撃弌" (弌 is a second-level kanji) and "鬼瓦" in Shift-JIS, as the own roll keeps them.
    const std::string last = "\x8D\x55\x8C\x82\x98\x9F";
    const std::string previous = "\x8B\x53\x8A\xA2";
    RecordOwnRoll(Roll(2, 6, 0, 0, 0, "3\n4\n", previous));
    RecordOwnRoll(Roll(2, 10, 0, 0, 2, "5\n9\n", last));
    const std::string lastEuc = "\xB9\xB6\xB7\xE2\xD0\xA1";
    const std::string previousEuc = "\xB5\xB4\xB4\xA4";
    const struct {
        std::string text;
        std::string id;
    } cases[] = {
        {"bsk", "m25500000000+002x" + lastEuc},
        {"bsk2", "m255000010000000x" + previousEuc},
        {"fake", "m25500002000+002x" + lastEuc},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Bytes(Prepare(c.text).id), Bytes(c.id)) << c.text;
    }
}

TEST_F(PrepareTest, AReplayedNoteIsCutToTheIdInWholeCharacters) {
    // 24 two-byte characters: only 23 fit behind the note mark of a 63-byte ID.
    std::string note;
    for (int i = 0; i < 24; ++i) {
        note += "\x98\x9F";  // 弌
    }
    RecordOwnRoll(Roll(1, 6, 0, 0, 0, "3\n", note.substr(0, 48)));
    const std::string id = Prepare("bsk").id;
    std::string expected = "m255000000000000x";
    for (int i = 0; i < 23; ++i) {
        expected += "\xD0\xA1";
    }
    EXPECT_EQ(Bytes(id), Bytes(expected));
}

TEST_F(PrepareTest, ReplaysBeforeAnyOwnRollUseEmptyRecords) {
    EXPECT_EQ(Prepare("bsk"), (Prepared{CommandCode::ReRoll, "REROLL 7", "0 0 7 0", 0, "", "",
                                        ContentType::Result, 0}));
    EXPECT_EQ(Prepare("fake"), (Prepared{CommandCode::FakeRoll, "FAKEROLL 0 0 0 0", "0 0 0 0", 1,
                                         "", "", ContentType::Result, 0}));
}

TEST_F(PrepareTest, ShortcutRollUsesTheKeyFileRollText) {
    SetSprollText("2d6");
    EXPECT_EQ(Prepare("r"),
              (Prepared{CommandCode::Roll, "2d6", "2 6 0 0", 0, "m255000000000000x", "", {}, 0}));
    SetSprollText("1d20+5");
    EXPECT_EQ(
        Prepare("R sneak"),
        (Prepared{
            CommandCode::Roll, "1d20+5", "1 20 0 0", 5, "m25500001000+005xsneak", "", {}, 0}));
    // Without a roll text, "r" is no request and goes out as chat.
    SetSprollText("");
    EXPECT_EQ(Prepare("r").body, "r");
}

TEST_F(PrepareTest, IncomingServerLinesClassifyByTheirFirstWord) {
    ProtocolMessage message;
    message.SetCommandLine("SHOW 2 6 taro 0 0\n", ContentType::Other, 0);
    EXPECT_EQ(message.command, CommandCode::Show);
    message.SetCommandLine("RESPONSE 100 OK\n", ContentType::Other, 0);
    EXPECT_EQ(message.command, CommandCode::Response);
    EXPECT_EQ(message.arguments, "OK");
    EXPECT_EQ(MessageSequence(), 0);
}

}  // namespace
}  // namespace tessel
