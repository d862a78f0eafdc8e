// SPDX-License-Identifier: MIT

#include "relay/RequestReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RelayWire.h"
#include "relay/RelayLimits.h"
#include "support/Bytes.h"

namespace tessel::relay {
namespace {

using tessel::test::Bytes;
using test::ToServer;

// Events in a printable form: "M:" and the header lines joined by "|", then "#" and the
// body; "N" for noise; "B:" and the reason.
std::string Show(const ReaderEvent& e) {
    switch (e.kind) {
        case ReaderEventKind::Message: {
            std::string s = "M:";
            for (std::size_t i = 0; i < e.message.header.size(); ++i) {
                s += (i ? "|" : "") + e.message.header[i];
            }
            return s + "#" + e.message.body;
        }
        case ReaderEventKind::Noise:
            return "N";
        case ReaderEventKind::Broken:
            return "B:" + e.reason;
    }
    return "?";
}

std::vector<std::string> ReadAll(RequestReader& reader, std::string_view stream) {
    std::vector<std::string> events;
    while (!stream.empty()) {
        if (std::optional<ReaderEvent> e = reader.Next(stream)) {
            events.push_back(Show(*e));
        }
    }
    return events;
}

std::vector<std::string> ReadBytewise(std::string_view stream) {
    RequestReader reader;
    std::vector<std::string> events;
    for (const char c : stream) {
        std::string_view one(&c, 1);
        while (!one.empty()) {
            if (std::optional<ReaderEvent> e = reader.Next(one)) {
                events.push_back(Show(*e));
            }
        }
    }
    return events;
}

std::vector<std::string> Read(std::string_view stream) {
    RequestReader reader;
    return ReadAll(reader, stream);
}

struct FramingCase {
    const char* name;
    std::string stream;
    std::vector<std::string> events;
};

class Framing : public ::testing::TestWithParam<FramingCase> {};

TEST_P(Framing, GivesTheSameEventsWholeAndBytewise) {
    const FramingCase& c = GetParam();
    EXPECT_EQ(Read(c.stream), c.events);
    EXPECT_EQ(ReadBytewise(c.stream), c.events);
}

const std::string kLongLine(kMaxHeaderLineBytes, 'x');

INSTANTIATE_TEST_SUITE_P(
    Reader, Framing,
    ::testing::Values(
        FramingCase{"LineOnly",
                    ToServer("LIST", "a25500000000"),
                    {"M:TesseraRELAY 0.2|toServer|LIST|ID: a25500000000#"}},
        FramingCase{"WithBody",
                    ToServer("SENDMESG *", "a1", "tesra/euc", "hello"),
                    {"M:TesseraRELAY 0.2|toServer|SENDMESG *|Content-length: 5|"
                     "Content-type: tesra/euc|ID: a1#hello"}},
        // A body is counted, not read by lines: line feeds and an empty line stay in it.
        FramingCase{"BodyWithLineFeeds",
                    ToServer("FAKEROLL 2 6 0 0", "m1", "tesra/result", "3\n\n4\n"),
                    {"M:TesseraRELAY 0.2|toServer|FAKEROLL 2 6 0 0|Content-length: 5|"
                     "Content-type: tesra/result|ID: m1#3\n\n4\n"}},
        FramingCase{"CrLfLines",
                    "TesseraRELAY/0.1\r\ntoServer\r\nGETUSER\r\n\r\n",
                    {"M:TesseraRELAY/0.1|toServer|GETUSER#"}},
        FramingCase{"TwoInARow",
                    ToServer("LIST") + ToServer("GETUSER"),
                    {"M:TesseraRELAY 0.2|toServer|LIST#", "M:TesseraRELAY 0.2|toServer|GETUSER#"}},
        FramingCase{"EmptyLinesBetweenMessagesAreIgnored",
                    "\n\r\n" + ToServer("LIST") + "\n",
                    {"M:TesseraRELAY 0.2|toServer|LIST#"}},
        // A run of noise is reported once; the next greeting starts a message again.
        FramingCase{"NoiseOnceThenMessage",
                    "hello\nworld\n" + ToServer("LIST") + "again\n",
                    {"N", "M:TesseraRELAY 0.2|toServer|LIST#", "N"}},
        // The last length line counts, as for the client.
        FramingCase{"LastLengthCounts",
                    "TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: 9\n"
                    "Content-length: 2\n\nabLIST\n",
                    {"M:TesseraRELAY 0.2|toServer|SENDMESG *|Content-length: 9|"
                     "Content-length: 2#ab",
                     "N"}},
        FramingCase{"BodyOfExactly4096",
                    ToServer("SENDMESG *", "a", "tesra/euc", std::string(4096, 'b')),
                    {"M:TesseraRELAY 0.2|toServer|SENDMESG *|Content-length: 4096|"
                     "Content-type: tesra/euc|ID: a#" +
                     std::string(4096, 'b')}},
        FramingCase{"LineOfExactlyTheLimit",
                    "TesseraRELAY 0.2\n" + kLongLine + "\r\n\n",
                    {"M:TesseraRELAY 0.2|" + kLongLine + "#"}},
        FramingCase{"LineOverTheLimit",
                    "TesseraRELAY 0.2\n" + kLongLine + "x\nLIST\n\n",
                    {"B:header line longer than 1024 bytes"}},
        FramingCase{
            "NoiseLineOverTheLimit", kLongLine + "xx", {"B:header line longer than 1024 bytes"}},
        // The client may send its whole 4352-byte request buffer (a long chat line).
        FramingCase{"BodyOfAFullClientBuffer",
                    ToServer("SENDMESG *", "a", "tesra/euc", std::string(4352, 'b')),
                    {"M:TesseraRELAY 0.2|toServer|SENDMESG *|Content-length: 4352|"
                     "Content-type: tesra/euc|ID: a#" +
                     std::string(4352, 'b')}},
        // A request with no command is its two greeting lines alone.
        FramingCase{"GreetingAloneBeforeARequest",
                    "TesseraRELAY 0.2\ntoServer\n" + ToServer("LIST", "a"),
                    {"M:TesseraRELAY 0.2|toServer|LIST|ID: a#"}},
        FramingCase{
            "BodyOverTheClientBuffer",
            "TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: 4353\n\n" + ToServer("LIST"),
            {"B:Content-length is not a number from 0 to 4352"}},
        FramingCase{"NegativeLength",
                    "TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: -1\n\n",
                    {"B:Content-length is not a number from 0 to 4352"}},
        FramingCase{"WordLength",
                    "TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: five\n\n",
                    {"B:Content-length is not a number from 0 to 4352"}},
        // The client's reader ignores the lower-case spelling; so does the relay.
        FramingCase{"LowerCaseLengthIsNoLength",
                    "TesseraRELAY 0.2\ntoServer\nLIST\ncontent-length: 3\n\nabc\n",
                    {"M:TesseraRELAY 0.2|toServer|LIST|content-length: 3#", "N"}}),
    [](const ::testing::TestParamInfo<FramingCase>& info) { return info.param.name; });

TEST(ReaderLimits, TooManyHeaderLinesBreakTheStream) {
    std::string stream = "TesseraRELAY 0.2\ntoServer\nLIST\n";
    for (int i = 0; i < 40; ++i) {
        stream += "Date: x\n";
    }
    EXPECT_EQ(Read(stream + "\n"), std::vector<std::string>{"B:more than 32 header lines"});
}

TEST(ReaderLimits, ThirtyTwoHeaderLinesAreStillAMessage) {
    std::string stream = "TesseraRELAY 0.2\ntoServer\nLIST\n";
    for (int i = 3; i < 32; ++i) {
        stream += "Date: x\n";
    }
    const std::vector<std::string> events = Read(stream + "\n");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].starts_with("M:"));
}

TEST(ReaderLimits, NothingIsReadAfterTheStreamBroke) {
    RequestReader reader;
    std::string_view stream = "TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: x\n\n";
    ASSERT_TRUE(reader.Next(stream).has_value());
    EXPECT_TRUE(reader.broken());
    EXPECT_TRUE(stream.empty());
    std::string more = ToServer("LIST");
    std::string_view rest = more;
    EXPECT_FALSE(reader.Next(rest).has_value());
    EXPECT_TRUE(rest.empty());
}

TEST(ReaderLimits, AMegabyteWithoutLineFeedBreaksBeforeItIsBuffered) {
    RequestReader reader;
    const std::string megabyte(1 << 20, 'z');
    std::string_view stream = megabyte;
    const std::optional<ReaderEvent> event = reader.Next(stream);
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->kind, ReaderEventKind::Broken);
    EXPECT_TRUE(stream.empty());
}

TEST(ReaderState, IdleOnlyBetweenMessages) {
    RequestReader reader;
    EXPECT_TRUE(reader.idle());
    std::string_view partial = "TesseraRELAY 0.2\ntoSer";
    EXPECT_FALSE(reader.Next(partial).has_value());
    EXPECT_FALSE(reader.idle());
    std::string_view rest = "ver\nLIST\n\n";
    EXPECT_TRUE(reader.Next(rest).has_value());
    EXPECT_TRUE(reader.idle());
}

TEST(ReaderState, StopsRightAfterEachMessage) {
    RequestReader reader;
    const std::string both = ToServer("LIST") + ToServer("GETUSER");
    std::string_view stream = both;
    ASSERT_TRUE(reader.Next(stream).has_value());
    EXPECT_EQ(Bytes(stream), Bytes(ToServer("GETUSER")));
}

}  // namespace
}  // namespace tessel::relay
