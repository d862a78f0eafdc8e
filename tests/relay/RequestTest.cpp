// SPDX-License-Identifier: MIT

#include "relay/Request.h"

#include <gtest/gtest.h>

#include "relay/MessageWriter.h"

namespace tessel::relay {
namespace {

FramedMessage Framed(std::vector<std::string> header, std::string body = {}) {
    return FramedMessage{std::move(header), std::move(body)};
}

TEST(ParseRequest, TakesLineIdTypeAndBody) {
    const Request r =
        ParseRequest(Framed({"TesseraRELAY 0.2", "toServer", "SENDMESG *", "Content-length: 2",
                             "Content-type: tesra/euc", "ID: a25500001000"},
                            "hi"));
    EXPECT_FALSE(r.malformed.has_value());
    EXPECT_EQ(r.code, CommandCode::SendMesg);
    EXPECT_EQ(r.line, "SENDMESG *");
    EXPECT_EQ(r.id, "a25500001000");
    EXPECT_EQ(r.contentType, ContentType::Euc);
    EXPECT_EQ(r.body, "hi");
}

TEST(ParseRequest, LaterHeaderLinesOverwriteEarlierOnesAndOthersAreIgnored) {
    const Request r =
        ParseRequest(Framed({"TesseraRELAY 0.2", "toServer", "LIST", "ID: first", "Date: today",
                             "Client: tessel", "ID: second extra", "Content-type: TESRA/EUC"}));
    EXPECT_EQ(r.id, "second");
    EXPECT_EQ(r.contentType, ContentType::Other);  // the words are case-sensitive
}

TEST(ParseRequest, UnknownWordIsARequestOfCodeOther) {
    const Request r = ParseRequest(Framed({"TesseraRELAY 0.2", "toServer", "list"}));
    EXPECT_FALSE(r.malformed.has_value());
    EXPECT_EQ(r.code, CommandCode::Other);
}

struct MalformedCase {
    const char* name;
    std::vector<std::string> header;
    ResponseCode code;
    std::string id;  // what is kept for the answer
};

class Malformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(Malformed, IsAnsweredWithItsCode) {
    const MalformedCase& c = GetParam();
    const Request r = ParseRequest(Framed(c.header));
    ASSERT_TRUE(r.malformed.has_value());
    EXPECT_EQ(*r.malformed, c.code);
    EXPECT_EQ(r.id, c.id);
    EXPECT_FALSE(r.problem.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Request, Malformed,
    ::testing::Values(
        MalformedCase{
            "NoDirection", {"TesseraRELAY 0.2", "LIST", "ID: x"}, ResponseCode::BadCommand, ""},
        MalformedCase{"WrongDirection",
                      {"TesseraRELAY 0.2", "toClient", "LIST", "ID: x"},
                      ResponseCode::BadCommand,
                      "x"},
        MalformedCase{"GreetingOnly", {"TesseraRELAY 0.2"}, ResponseCode::BadCommand, ""},
        MalformedCase{
            "NoRequestLine", {"TesseraRELAY 0.2", "toServer"}, ResponseCode::BadCommand, ""},
        MalformedCase{
            "LongRequestLine",
            {"TesseraRELAY 0.2", "toServer", "SENDMESG " + std::string(247, 'x'), "ID: y"},
            ResponseCode::BadParameter,
            "y"},
        // An ID the client could not hold is not sent back.
        MalformedCase{"LongId",
                      {"TesseraRELAY 0.2", "toServer", "LIST", "ID: " + std::string(64, 'i')},
                      ResponseCode::BadParameter,
                      ""},
        MalformedCase{"ZeroByte",
                      {"TesseraRELAY 0.2", "toServer", std::string("OPEN a:1 ta\0ro", 14), "ID: z"},
                      ResponseCode::BadParameter,
                      ""}),
    [](const ::testing::TestParamInfo<MalformedCase>& info) { return info.param.name; });

TEST(ParseRequest, LimitsAreInclusive) {
    const Request r =
        ParseRequest(Framed({"TesseraRELAY 0.2", "toServer", "SENDMESG " + std::string(246, 'x'),
                             "ID: " + std::string(63, 'i')}));
    EXPECT_FALSE(r.malformed.has_value());
    EXPECT_EQ(r.id.size(), 63u);
}

TEST(ResponseLine, IsThreeDigits) {
    EXPECT_EQ(ResponseLine(ResponseCode::Ok), "RESPONSE 000");
    EXPECT_EQ(ResponseLine(ResponseCode::BadParameter), "RESPONSE 102");
    EXPECT_EQ(ResponseLine(ResponseCode::NotAccepted), "RESPONSE 300");
}

TEST(MessageWriter, LaysOutAMessageWithoutBody) {
    EXPECT_EQ(MessageWriter().Write("READY 7", ServerId(7)),
              "TesseraRELAY/0.1\ntoClient\nREADY 7\nID: s***007\n\n");
}

TEST(MessageWriter, LaysOutAMessageWithBody) {
    EXPECT_EQ(MessageWriter().Write("SHOWMESG taro", "s***012", ContentType::Euc, "hello"),
              "TesseraRELAY/0.1\ntoClient\nSHOWMESG taro\nContent-length: 5\n"
              "Content-type: tesra/euc\nID: s***012\n\nhello");
}

TEST(MessageWriter, CrLfEndsHeaderLinesButLeavesTheBody) {
    EXPECT_EQ(MessageWriter(true).Write("SHOW 2 6 taro 0 0", "m1", ContentType::Result, "3\n4\n"),
              "TesseraRELAY/0.1\r\ntoClient\r\nSHOW 2 6 taro 0 0\r\nContent-length: 4\r\n"
              "Content-type: tesra/result\r\nID: m1\r\n\r\n3\n4\n");
}

TEST(MessageWriter, UnknownContentTypeTravelsAsOther) {
    EXPECT_EQ(MessageWriter().Write("SHOWMESG a", "s***001", static_cast<ContentType>(7), "x"),
              "TesseraRELAY/0.1\ntoClient\nSHOWMESG a\nContent-length: 1\n"
              "Content-type: tesra/other\nID: s***001\n\nx");
}

TEST(MessageWriter, NeverSendsMoreThan4096BodyBytes) {
    const std::string out =
        MessageWriter().Write("SHOWMESG a", "s***001", ContentType::Euc, std::string(5000, 'q'));
    EXPECT_NE(out.find("Content-length: 4096\n"), std::string::npos);
    EXPECT_EQ(out.size() - out.find("\n\n") - 2, 4096u);
}

TEST(ServerId, IsThreeDigits) {
    EXPECT_EQ(ServerId(1), "s***001");
    EXPECT_EQ(ServerId(42), "s***042");
    EXPECT_EQ(ServerId(999), "s***999");
}

}  // namespace
}  // namespace tessel::relay
