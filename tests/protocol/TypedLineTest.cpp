// SPDX-License-Identifier: MIT

#include <gtest/gtest.h>

#include <string>

#include "protocol/CommandParser.h"
#include "protocol/ProtocolMessage.h"
#include "protocol/Words.h"
#include "support/ProtocolFixture.h"
#include "support/TypedLineCases.h"

namespace tessel {
namespace {

using test::ToSjis;
using test::TypedLineCase;

class TypedLine : public test::ProtocolStateTest,
                  public ::testing::WithParamInterface<TypedLineCase> {
  protected:
    void SetUp() override {
        ProtocolStateTest::SetUp();
        test::SetUpTypedLineState();
    }
};

// The reading Enter is previewed from agrees with the request Enter prepares, and taking it
// spends nothing: no message number, no own-roll slot.
TEST_P(TypedLine, ReadingAgreesWithThePreparedRequest) {
    const TypedLineCase& c = GetParam();
    const std::string line = ToSjis(c.line);
    const std::int32_t sequence = MessageSequence();
    const OwnRoll lastBefore = LastOwnRoll();

    const TypedLineIntent intent = ReadTypedLine(line);
    EXPECT_EQ(intent.kind, c.kind);
    EXPECT_EQ(MessageSequence(), sequence);
    EXPECT_EQ(LastOwnRoll().diceText.view(), lastBefore.diceText.view());

    // What the input pane hands over: at most a command's worth.
    const std::string sent = line.substr(0, intent.sentBytes);
    EXPECT_EQ(intent.cut, sent.size() < line.size());
    ProtocolMessage message;
    PrepareOutgoing(message, sent);
    EXPECT_EQ(message.command, c.request);
    if (intent.kind == TypedLineIntent::Kind::Roll ||
        intent.kind == TypedLineIntent::Kind::FakeRoll) {
        const std::string_view arguments = message.arguments.view();
        EXPECT_EQ(intent.dice.count, ReadDecimal(WordAt(arguments, 0)));
        EXPECT_EQ(intent.dice.sides, ReadDecimal(WordAt(arguments, 1)));
        EXPECT_EQ(intent.dice.rule, ReadDecimal(WordAt(arguments, 2)));
        EXPECT_EQ(intent.dice.parameter, ReadDecimal(WordAt(arguments, 3)));
        // A note the preview promises is in the request's ID; one it says is dropped is not.
        const bool noteInId = message.id.view().find('x') != std::string_view::npos &&
                              message.id.view().size() > kNotePosition + 1;
        EXPECT_EQ(noteInId, !intent.note.empty() && !intent.noteTooLong) << message.id.str();
    }
    if (intent.kind == TypedLineIntent::Kind::FakeRoll) {
        EXPECT_EQ(message.contentLength == 0, intent.noteTooLong || intent.values.empty());
    }
    if (intent.kind == TypedLineIntent::Kind::PrivateMessage) {
        EXPECT_EQ(message.arguments.view(), intent.target);
    }
    if (intent.kind == TypedLineIntent::Kind::ReRoll) {
        EXPECT_EQ(message.rollSlot, intent.rollSlot);
        EXPECT_EQ(message.body.view(), intent.ownRoll.diceText.view());
    }
    if (intent.kind == TypedLineIntent::Kind::SoundRequest) {
        EXPECT_NE(message.body.view().find(intent.word), std::string_view::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TypedLine, ::testing::ValuesIn(test::TypedLineCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessel
