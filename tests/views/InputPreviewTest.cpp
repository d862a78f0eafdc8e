// SPDX-License-Identifier: MIT

#include "views/InputPreview.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "support/ProtocolFixture.h"
#include "support/TypedLineCases.h"

namespace tessel {
namespace {

using test::ToSjis;
using test::ToUtf8;
using test::TypedLineCase;

class Preview : public test::ProtocolStateTest,
                public ::testing::WithParamInterface<TypedLineCase> {
  protected:
    void SetUp() override {
        ProtocolStateTest::SetUp();
        test::SetUpTypedLineState();
    }
};

TEST_P(Preview, SaysWhatEnterWillDo) {
    const TypedLineCase& c = GetParam();
    const TypedLineIntent intent = ReadTypedLine(ToSjis(c.line));
    EXPECT_EQ(ToUtf8(DescribeTypedLine(intent, true)), c.preview);
}

// Disconnected, a line that would go to the server is said to go nowhere; what stays in the
// client reads as before.
TEST_P(Preview, SaysWhenNothingReachesTheServer) {
    const TypedLineCase& c = GetParam();
    const TypedLineIntent intent = ReadTypedLine(ToSjis(c.line));
    const std::string text = ToUtf8(DescribeTypedLine(intent, false));
    const std::string notSent = " ※接続していないため送られません";
    using K = TypedLineIntent::Kind;
    if (c.kind == K::Nothing || c.kind == K::Quit || c.kind == K::LocalNothing) {
        EXPECT_EQ(text, c.preview);
    } else {
        EXPECT_TRUE(text.ends_with(notSent)) << text;
        EXPECT_TRUE(text.starts_with(c.preview.substr(0, c.preview.find(" ※")))) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Preview, ::testing::ValuesIn(test::TypedLineCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// Notes, targets and rule words come from the typed line; none may push the preview into
// bytes that are not Shift-JIS, whatever sits at the cut of an over-long line.
TEST(PreviewLimits, OverLongLinesAreCutAtACharacter) {
    for (const std::size_t ascii : {0u, 1u}) {
        std::string line(ascii, 'a');
        while (line.size() < 5000) {
            line += ToSjis("あ");
        }
        const TypedLineIntent intent = ReadTypedLine(line);
        EXPECT_TRUE(intent.cut);
        EXPECT_LE(intent.sentBytes, kMaxCommandText);
        EXPECT_GE(intent.sentBytes, kMaxCommandText - 1);
        EXPECT_EQ((intent.sentBytes - ascii) % 2, 0u);
        EXPECT_NO_THROW(ToUtf8(DescribeTypedLine(intent, true)));
    }
}

}  // namespace
}  // namespace tessel
