// SPDX-License-Identifier: MIT

#include "protocol/ProtocolMessage.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/CommandParser.h"
#include "support/Bytes.h"
#include "support/ProtocolFixture.h"

namespace tessel {
namespace {

using test::Bytes;

constexpr std::string_view kGreeting = "TesseraRELAY 0.2\ntoServer\n";

class FixedEndpoint : public LocalEndpoint {
  public:
    std::string LocalAddress() const override { return "127.0.0.1"; }
    std::int32_t LocalPort() const override { return 40000; }
};

class RequestTest : public test::ProtocolStateTest {
  protected:
    Bytes Request(std::string_view text) {
        PrepareOutgoing(message, text);
        message.ToEuc(MessageField::CommandLine);
        std::string out;
        message.AssembleRequest(out);
        return out;
    }

    FixedEndpoint endpoint;
    ProtocolMessage message{&endpoint};
};

TEST_F(RequestTest, ChatLineIsASendmesgToEveryone) {
    EXPECT_EQ(Request("hello"), Bytes("TesseraRELAY 0.2\ntoServer\nSENDMESG *\n"
                                      "Content-length: 5\nContent-type: tesra/euc\n"
                                      "ID: a25500000000\n\nhello"));
}

TEST_F(RequestTest, GeneralIdsCountUpAndWrapAt65536) {
    EXPECT_EQ(Request("LIST"), Bytes("TesseraRELAY 0.2\ntoServer\nLIST\nID: a25500000000\n\n"));
    EXPECT_EQ(Request("LIST"), Bytes("TesseraRELAY 0.2\ntoServer\nLIST\nID: a25500001000\n\n"));
    for (int i = 2; i < 65536; ++i) {
        GeneralId();
    }
    EXPECT_EQ(Request("GETUSER"),
              Bytes("TesseraRELAY 0.2\ntoServer\nGETUSER\nID: a25500000000\n\n"));
    SetMessageSequence(65535);
    SetClientNumber(12);
    EXPECT_EQ(Request("CLOSE"), Bytes("TesseraRELAY 0.2\ntoServer\nCLOSE\nID: a01265535000\n\n"));
    EXPECT_EQ(MessageSequence(), 0);
}

TEST_F(RequestTest, RequestLinesCarryTheirArguments) {
    EXPECT_EQ(Request("MODE"), Bytes("TesseraRELAY 0.2\ntoServer\nMODE \nID: a25500000000\n\n"));
    EXPECT_EQ(Request("MODE +o extra"),
              Bytes("TesseraRELAY 0.2\ntoServer\nMODE +o\nID: a25500001000\n\n"));
    EXPECT_EQ(Request("OPERATE a b"),
              Bytes("TesseraRELAY 0.2\ntoServer\nOPERATE a b  \nID: m25500002000r013\n\n"));
    EXPECT_EQ(Request("ROLL 2 6"),
              Bytes("TesseraRELAY 0.2\ntoServer\nROLL 2 6  \nID: a25500003000\n\n"));
}

TEST_F(RequestTest, OpenCarriesTheLocalAddressAndRecordsThePendingHandle) {
    EXPECT_EQ(Request("OPEN taro"), Bytes("TesseraRELAY 0.2\ntoServer\nOPEN 127.0.0.1:40000 taro\n"
                                          "ID: m25500000000r002\n\n"));
    EXPECT_EQ(PendingHandle(), "taro");
    EXPECT_EQ(Request("JOIN #room"),
              Bytes("TesseraRELAY 0.2\ntoServer\nJOIN #room\nID: m25500001000r008\n\n"));
    EXPECT_EQ(PendingChannel(), "#room");

    ProtocolMessage unconnected;
    PrepareOutgoing(unconnected, "OPEN jiro");
    std::string out;
    unconnected.AssembleRequest(out);
    EXPECT_EQ(Bytes(out), Bytes("TesseraRELAY 0.2\ntoServer\nOPEN :0 jiro\n"
                                "ID: m25500002000r002\n\n"));
}

TEST_F(RequestTest, JapaneseHandleTravelsInEucJp) {
    // "太郎" in Shift-JIS is 0x91 0xBE 0x98 0x59; in EUC-JP 0xC2 0xC0 0xCF 0xBA.
    EXPECT_EQ(Request("OPEN \x91\xBE\x98\x59"),
              Bytes("TesseraRELAY 0.2\ntoServer\nOPEN 127.0.0.1:40000 \xC2\xC0\xCF\xBA\n"
                    "ID: m25500000000r002\n\n"));
    EXPECT_EQ(PendingHandle(), "\xC2\xC0\xCF\xBA");
}

TEST_F(RequestTest, RollRequestCarriesModifierAndNoteInItsId) {
    EXPECT_EQ(Request("2d6+1 attack"), Bytes("TesseraRELAY 0.2\ntoServer\nROLL 2 6 0 0\n"
                                             "ID: m25500000000+001xattack\n\n"));
    EXPECT_EQ(MessageSequence(), 1);
}

TEST_F(RequestTest, ProbeAnswerAndNonRequestsSendNothing) {
    // The connection answers a probe with the server's number as word 2.
    message.SetCommandLine("RESPONSE 000 5", ContentType::Other, 0);
    std::string out;
    EXPECT_GT(message.AssembleRequest(out), 0u);
    EXPECT_EQ(Bytes(out),
              Bytes("TesseraRELAY 0.2\ntoServer\nRESPONSE 000 5\nID: a25500000000\n\n"));

    message.SetCommandLine("READY 5", ContentType::Other, 0);
    std::string header;
    EXPECT_EQ(message.BuildHeader(header), CommandCode::Ready);
    EXPECT_EQ(Bytes(header), Bytes(kGreeting));
    EXPECT_EQ(message.AssembleRequest(out), 0u);
    EXPECT_TRUE(out.empty());
}

TEST_F(RequestTest, LineBeginningWithLineFeedIsTheGreetingAlone) {
    EXPECT_EQ(Request("\nhello"), Bytes(kGreeting));
    EXPECT_EQ(message.command, CommandCode::None);
}

TEST_F(RequestTest, UnknownContentTypeTravelsAsOther) {
    message.SetCommandLine("SENDMESG *", static_cast<ContentType>(7), 2);
    message.body.assign("hi");
    std::string out;
    const std::size_t length = message.AssembleRequest(out);
    EXPECT_EQ(length, out.size());
    EXPECT_EQ(Bytes(out), Bytes("TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: 2\n"
                                "Content-type: tesra/other\nID: a25500000000\n\nhi"));
}

TEST_F(RequestTest, BinaryBodyIsSentWholeWithItsZeroBytes) {
    const std::string piece("CC FILESEND\0\x01\xFF", 15);
    message.SetCommandLine("SENDMESG bob", ContentType::Binary, static_cast<int>(piece.size()));
    message.body.assignBytes(piece);
    std::string out;
    const std::size_t length = message.AssembleRequest(out);
    EXPECT_EQ(length, out.size());
    EXPECT_EQ(Bytes(out.substr(out.size() - piece.size())), Bytes(piece));
}

TEST_F(RequestTest, HeaderThatWouldNotFitIsRefusedWhole) {
    const std::string handle(240, 'h');
    message.SetCommandLine("OPEN " + handle, ContentType::Other, 0);
    std::string header;
    EXPECT_EQ(message.BuildHeader(header), CommandCode::Open);
    EXPECT_TRUE(header.empty());
    std::string out;
    EXPECT_EQ(message.AssembleRequest(out), 0u);
    EXPECT_EQ(PendingHandle(), "");

    // The longest request line that still fits is sent.
    // Greeting 26, "MODE " 5, the word, "\n" 1, "ID: a25500002000\n" 17, "\n" 1.
    const std::string fits = "MODE " + std::string(205, 'm');
    message.SetCommandLine(fits, ContentType::Other, 0);
    EXPECT_EQ(message.AssembleRequest(out), 255u);
}

TEST(ContentTypeWords, MapBothWays) {
    EXPECT_EQ(ContentTypeFromText("tesra/result"), ContentType::Result);
    EXPECT_EQ(ContentTypeFromText("tesra/binary"), ContentType::Binary);
    EXPECT_EQ(ContentTypeFromText("tesra/other"), ContentType::Other);
    EXPECT_EQ(ContentTypeFromText("TESRA/EUC"), ContentType::Other);
    EXPECT_EQ(ContentTypeFromText(""), ContentType::Other);
    EXPECT_EQ(ContentTypeText(ContentType::Euc), "tesra/euc");
    EXPECT_EQ(ContentTypeText(static_cast<ContentType>(0x103)), "tesra/sjis");  // low 8 bits
    EXPECT_EQ(ContentTypeText(static_cast<ContentType>(-1)), "tesra/other");
}

class ConversionTest : public test::ProtocolStateTest {
  protected:
    ProtocolMessage message;
};

TEST_F(ConversionTest, ExpandLineFeedsWithinTheBody) {
    message.body.assign("a\nb");
    EXPECT_EQ(message.ExpandLineFeeds(), 4u);
    EXPECT_EQ(Bytes(message.body.view()), Bytes("a\r\nb"));

    // A line feed after a lone lead byte is still a line feed.
    message.body.assign("\x82\nb");
    EXPECT_EQ(message.ExpandLineFeeds(), 4u);
    EXPECT_EQ(Bytes(message.body.view()), Bytes("\x82\r\nb"));

    // A body full of line feeds stops below its size with whole pairs.
    message.body.assign(std::string(4000, '\n'));
    const std::size_t length = message.ExpandLineFeeds();
    EXPECT_LE(length, kBodySize - 2);
    EXPECT_EQ(length % 2, 0u);
    EXPECT_EQ(message.body.size(), length);
    EXPECT_EQ(message.body.view().substr(length - 2), "\r\n");
}

TEST_F(ConversionTest, BodyAndCommandLineConvertInPlace) {
    message.SetCommandLine("SHOWMESG \xC2\xC0\xCF\xBA\n", ContentType::Euc, 4);
    message.body.assign("\xA4\xA2\xA4\xA4");
    message.ToShiftJis(MessageField::CommandLine);
    message.ToShiftJis(MessageField::Body);
    EXPECT_EQ(Bytes(message.commandLine.view()), Bytes("SHOWMESG \x91\xBE\x98\x59\n"));
    EXPECT_EQ(Bytes(message.body.view()), Bytes("\x82\xA0\x82\xA2"));

    // A command line of half-width kana cannot double: it is cut to fit its field.
    message.commandLine.assign(std::string(255, '\xB1'));
    message.ToEuc(MessageField::CommandLine);
    EXPECT_LE(message.commandLine.size(), kLineFieldSize - 2);
}

}  // namespace
}  // namespace tessel
