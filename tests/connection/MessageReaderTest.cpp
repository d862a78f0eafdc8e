// SPDX-License-Identifier: MIT

#include "connection/MessageReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Bytes.h"
#include "support/ProtocolFixture.h"

namespace tessel {
namespace {

using test::Bytes;
using Clock = MessageReader::Clock;

// The fields a received message carries, compared whole.
struct Received {
    std::string commandLine;
    CommandCode command = CommandCode::Other;
    std::int32_t contentLength = 0;
    ContentType contentType = ContentType::Other;
    std::string id;
    std::string body;

    friend bool operator==(const Received&, const Received&) = default;
    friend void PrintTo(const Received& r, std::ostream* os) {
        *os << "{line ";
        PrintTo(Bytes(r.commandLine), os);
        *os << ", code " << ToInt(r.command) << ", length " << r.contentLength << ", type "
            << static_cast<int>(r.contentType) << ", id " << r.id << ", body ";
        PrintTo(Bytes(r.body), os);
        *os << "}";
    }
};

Received Fields(const ProtocolMessage& m) {
    return {m.commandLine.str(), m.command,  m.contentLength,
            m.contentType,       m.id.str(), std::string(m.body.bytes(m.contentLength))};
}

const Clock::time_point kStart{};

std::vector<Received> ReadInChunks(std::string_view stream, std::size_t chunk) {
    MessageReader reader;
    ProtocolMessage message;
    std::vector<Received> out;
    for (std::size_t p = 0; p < stream.size(); p += chunk) {
        reader.Feed(stream.substr(p, chunk), kStart);
        while (reader.Next(message, kStart)) {
            out.push_back(Fields(message));
        }
    }
    return out;
}

using MessageReaderTest = test::ProtocolStateTest;

constexpr std::string_view kShowMesg =
    "TesseraRELAY/0.1\ntoClient\nSHOWMESG bob\nContent-type: tesra/euc\n"
    "Content-length: 5\nID: s***012\n\nhello";

TEST_F(MessageReaderTest, ReadsHeaderFieldsAndBody) {
    const auto messages = ReadInChunks(kShowMesg, kShowMesg.size());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], (Received{"SHOWMESG bob\n", CommandCode::ShowMesg, 5, ContentType::Euc,
                                     "s***012", "hello"}));
}

TEST_F(MessageReaderTest, SameMessagesWhateverTheChunking) {
    std::string stream;
    stream += kShowMesg;
    stream +=
        "TesseraRELAY 0.1\r\ntoClient\r\nPUTUSER\r\nDate: today\r\nServer: relay\r\n"
        "Content-length: 10\r\nContent-type: tesra/euc\r\nID: s***012\r\n\r\n"
        "a b 1 0\r\nNo";
    stream += "garbage line\n";  // not a greeting: skipped
    stream += "TesseraRELAY/0.1\ntoClient\nREADY 12\nID: s***012\n\n";
    // Read whole, these go through the one-pass reading or hand over to the line-by-line one
    // part way: repeated and negative lengths, a zero byte, a greeting with a tab, a line
    // folded late in the header.
    using namespace std::string_literals;
    stream +=
        "TesseraRELAY\t0.1\ntoClient\nSHOW\0MESG x\nContent-length: 3\nContent-length: -2\n"
        "ID: a\nID: b c\n\n"s;
    stream += std::string(4095, 'z');
    stream += "TesseraRELAY/0.1\ntoClient\nSHOWMESG bob\nContent-length: 2\nID: s***7\r\n\nhi";
    const auto whole = ReadInChunks(stream, stream.size());
    ASSERT_EQ(whole.size(), 5u);
    EXPECT_EQ(whole[1], (Received{"PUTUSER\n", CommandCode::PutUser, 10, ContentType::Euc,
                                  "s***012", "a b 1 0\r\nN"}));
    EXPECT_EQ(whole[2].commandLine, "READY 12\n");
    EXPECT_EQ(whole[3], (Received{"SHOW", CommandCode::Show, 4095, ContentType::Other, "b",
                                  std::string(4095, 'z')}));
    EXPECT_EQ(whole[4], (Received{"SHOWMESG bob\n", CommandCode::ShowMesg, 2, ContentType::Other,
                                  "s***7", "hi"}));
    for (const std::size_t chunk : {1u, 2u, 3u, 7u, 64u}) {
        EXPECT_EQ(ReadInChunks(stream, chunk), whole) << "chunk " << chunk;
    }
}

TEST_F(MessageReaderTest, HeaderLinesAreMatchedExactly) {
    const auto messages = ReadInChunks(
        "TesseraRELAY/0.1\ntoClient\nSHOW 2 6 taro 0 0\ncontent-length: 5\nID: abc def\n\n", 1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].contentLength, 0);
    EXPECT_EQ(messages[0].id, "abc");
}

TEST_F(MessageReaderTest, BodyLengthsAreCapped) {
    auto lengthOf = [](std::string_view announced) {
        std::string stream = "TesseraRELAY/0.1\ntoClient\nSHOWMESG a\nContent-length: ";
        stream += announced;
        stream += "\n\n" + std::string(5000, 'x');
        const auto messages = ReadInChunks(stream, stream.size());
        return messages.empty() ? -99 : messages[0].contentLength;
    };
    EXPECT_EQ(lengthOf("5000"), 4095);
    EXPECT_EQ(lengthOf("4096"), 4096);
    EXPECT_EQ(lengthOf("-1"), 4095);
    EXPECT_EQ(lengthOf("99999999999999"), 4095);
    EXPECT_EQ(lengthOf("12abc"), 12);
    EXPECT_EQ(lengthOf("abc"), 0);
}

TEST_F(MessageReaderTest, BytesPastACappedBodyStartTheNextMessage) {
    std::string stream = "TesseraRELAY/0.1\ntoClient\nSHOWMESG a\nContent-length: 5000\n\n";
    stream += std::string(4095, 'x');
    stream += "yyyyy\nTesseraRELAY/0.1\ntoClient\nREADY 1\n\n";
    const auto messages = ReadInChunks(stream, 100);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].body.size(), 4095u);
    EXPECT_EQ(messages[1].command, CommandCode::Ready);
}

TEST_F(MessageReaderTest, WrongSecondLineDropsTheMessage) {
    const auto messages = ReadInChunks(
        "TesseraRELAY/0.1\ntoServer\nSHOW 1 6 a 0 0\n\n"
        "TesseraRELAY/0.1\ntoClient\nREADY 3\n\n",
        5);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].commandLine, "READY 3\n");
}

TEST_F(MessageReaderTest, OverlongLinesAreCutIntoPieces) {
    std::string stream = "TesseraRELAY/0.1\ntoClient\nSHOWMESG a\nX-Long: ";
    stream += std::string(10000, 'z');
    stream += "\nID: kept\n\n";
    const auto messages = ReadInChunks(stream, 333);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].id, "kept");
    // A command line past its field is cut to 255 bytes, never more.
    std::string longCommand = "TesseraRELAY/0.1\ntoClient\nSHOWMESG " + std::string(400, 'n');
    longCommand += "\n\n";
    const auto cut = ReadInChunks(longCommand, longCommand.size());
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].commandLine.size(), 255u);
}

TEST_F(MessageReaderTest, SilenceEndsAMessageWithWhatArrived) {
    MessageReader reader(std::chrono::seconds(30));
    ProtocolMessage message;
    reader.Feed("TesseraRELAY/0.1\ntoClient\nSHOW 2 6 taro 0 0\nContent-length: 9\n\n1\n2", kStart);
    EXPECT_FALSE(reader.Next(message, kStart + std::chrono::seconds(29)));
    ASSERT_TRUE(reader.Deadline().has_value());
    EXPECT_EQ(*reader.Deadline(), kStart + std::chrono::seconds(30));
    ASSERT_TRUE(reader.Next(message, kStart + std::chrono::seconds(30)));
    EXPECT_EQ(Fields(message),
              (Received{"SHOW 2 6 taro 0 0\n", CommandCode::Show, 0, ContentType::Other, "", ""}));
    EXPECT_EQ(message.body.view(), "1\n2");  // what arrived stays readable
    EXPECT_FALSE(reader.Deadline().has_value());

    // A header that stops after its command line is taken without a body.
    reader.Feed("TesseraRELAY/0.1\ntoClient\nPUTCHANNEL\nContent-len", kStart);
    EXPECT_FALSE(reader.Next(message, kStart + std::chrono::seconds(1)));
    ASSERT_TRUE(reader.Next(message, kStart + std::chrono::seconds(31)));
    EXPECT_EQ(message.commandLine, "PUTCHANNEL\n");
    EXPECT_EQ(message.contentLength, 0);

    // Silence before the command line drops the greeting.
    reader.Feed("TesseraRELAY/0.1\ntoCli", kStart + std::chrono::seconds(40));
    EXPECT_FALSE(reader.Next(message, kStart + std::chrono::seconds(71)));
    reader.Feed("TesseraRELAY/0.1\ntoClient\nREADY 9\n\n", kStart + std::chrono::seconds(72));
    ASSERT_TRUE(reader.Next(message, kStart + std::chrono::seconds(72)));
    EXPECT_EQ(message.commandLine, "READY 9\n");
}

TEST_F(MessageReaderTest, EndOfStreamFinishesAPartialMessage) {
    MessageReader reader;
    ProtocolMessage message;
    reader.Feed("TesseraRELAY/0.1\ntoClient\nSHOWMESG bob\nContent-length: 50\n\npartial", kStart);
    EXPECT_FALSE(reader.Next(message, kStart));
    reader.EndOfStream();
    ASSERT_TRUE(reader.Next(message, kStart));
    EXPECT_EQ(message.commandLine, "SHOWMESG bob\n");
    EXPECT_EQ(message.contentLength, 0);
    EXPECT_FALSE(reader.Next(message, kStart));
}

TEST_F(MessageReaderTest, EndlessGarbageIsSkippedLineByLine) {
    MessageReader reader;
    ProtocolMessage message;
    const std::string garbage(65536, 'g');
    for (int i = 0; i < 64; ++i) {
        reader.Feed(garbage, kStart);
        while (reader.Next(message, kStart)) {
        }
    }
    reader.Feed("\nTesseraRELAY/0.1\ntoClient\nREADY 4\n\n", kStart);
    ASSERT_TRUE(reader.Next(message, kStart));
    EXPECT_EQ(message.commandLine, "READY 4\n");
}

}  // namespace
}  // namespace tessel
