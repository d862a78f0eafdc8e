// SPDX-License-Identifier: MIT

#include "relay/RequestHandler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "RelayWire.h"
#include "ScriptedDice.h"
#include "support/Bytes.h"

namespace tessel::relay {
namespace {

using namespace std::chrono_literals;
using tessel::test::Bytes;
using test::ScriptedDice;
using test::ToClient;

const Clock::time_point kStart{};

// A request as the reader would hand it over.
Request Req(std::string line, std::string id = {}, std::string type = {}, std::string body = {}) {
    FramedMessage m;
    m.header = {"TesseraRELAY 0.2", "toServer", std::move(line)};
    if (!type.empty()) {
        m.header.push_back("Content-type: " + type);
    }
    if (!id.empty()) {
        m.header.push_back("ID: " + id);
    }
    m.body = std::move(body);
    return ParseRequest(std::move(m));
}

// Deliveries as (recipient, bytes) pairs, printable on failure.
using Sent = std::vector<std::pair<int, Bytes>>;

Sent Of(const Outcome& out) {
    Sent sent;
    for (const Delivery& d : out.deliveries) {
        sent.emplace_back(d.to, Bytes(d.bytes));
    }
    return sent;
}

std::string Response(int code, std::string_view id, std::string_view body = {}) {
    char line[16];
    std::snprintf(line, sizeof line, "RESPONSE %03d", code);
    return ToClient(line, id, "tesra/euc", body);
}

std::string Sid(int n) {
    char id[16];
    std::snprintf(id, sizeof id, "s***%03d", n);
    return id;
}

class HandlerTest : public ::testing::Test {
  protected:
    explicit HandlerTest(RelayConfig config = {}) : config_(config) { Reset({}); }

    void Reset(const std::vector<int>& dice, int fallback = 1) {
        auto source = std::make_unique<ScriptedDice>(dice, fallback);
        handler_ = std::make_unique<RequestHandler>(config_, std::move(source));
    }

    int Connect() {
        Outcome out;
        return handler_->Connect(kStart, out).value_or(0);
    }

    Outcome Do(int from, const Request& request) { return handler_->Handle(from, request, kStart); }

    // A client that has its handle (and channel, when given) and whose answers are read.
    int Member(std::string handle, std::string channel = {}) {
        const int n = Connect();
        Do(n, Req("OPEN 127.0.0.1:" + std::to_string(5000 + n) + " " + handle));
        if (!channel.empty()) {
            Do(n, Req("JOIN " + channel));
        }
        return n;
    }

    std::string PutUser(int to, std::string_view body) {
        return ToClient("PUTUSER", Sid(to), "tesra/euc", body);
    }

    RelayConfig config_;
    std::unique_ptr<RequestHandler> handler_;
};

// --- Connecting ---------------------------------------------------------------------------

TEST_F(HandlerTest, FirstMessageIsAProbeCarryingTheNumber) {
    Outcome out;
    EXPECT_EQ(handler_->Connect(kStart, out), 1);
    EXPECT_EQ(Of(out), (Sent{{1, "TesseraRELAY/0.1\ntoClient\nREADY 1\nID: s***001\n\n"}}));
}

TEST_F(HandlerTest, NumbersAreTheLowestFree) {
    EXPECT_EQ(Connect(), 1);
    EXPECT_EQ(Connect(), 2);
    EXPECT_EQ(Connect(), 3);
    handler_->Disconnect(2);
    handler_->Disconnect(1);
    EXPECT_EQ(Connect(), 1);
    EXPECT_EQ(Connect(), 2);
    EXPECT_EQ(Connect(), 4);
}

TEST(HandlerLimits, NoMoreThanMaxClients) {
    RelayConfig config;
    config.maxClients = 2;
    RequestHandler handler(config, std::make_unique<ScriptedDice>(std::vector<int>{}));
    Outcome out;
    EXPECT_EQ(handler.Connect(kStart, out), 1);
    EXPECT_EQ(handler.Connect(kStart, out), 2);
    Outcome refused;
    EXPECT_EQ(handler.Connect(kStart, refused), std::nullopt);
    EXPECT_TRUE(refused.deliveries.empty());
    handler.Disconnect(1);
    EXPECT_EQ(handler.Connect(kStart, out), 1);
}

TEST(HandlerLimits, NumbersStopAt999) {
    RelayConfig config;
    config.maxClients = 999;
    RequestHandler handler(config, std::make_unique<ScriptedDice>(std::vector<int>{}));
    Outcome out;
    for (int i = 1; i <= 999; ++i) {
        ASSERT_EQ(handler.Connect(kStart, out), i);
    }
    EXPECT_EQ(handler.Connect(kStart, out), std::nullopt);
}

// --- OPEN -----------------------------------------------------------------------------------

TEST_F(HandlerTest, OpenIsAcknowledgedThenEveryoneGetsTheUserList) {
    const int a = Connect();
    const int b = Connect();
    const Outcome out = Do(a, Req("OPEN 127.0.0.1:5001 taro", "m00100000000r002"));
    const std::string users = "taro NoJoin 127.0.0.1:5001 0\nNo entry\n";
    EXPECT_EQ(Of(out), (Sent{{a, Response(100, "m00100000000r002", "OPEN taro")},
                             {a, PutUser(a, users)},
                             {b, PutUser(b, users)}}));
    EXPECT_TRUE(out.refusal.empty());
}

TEST_F(HandlerTest, OpenAgainRenamesAndKeepsConnectionOrder) {
    const int a = Member("taro");
    Member("jiro");
    const Outcome out = Do(a, Req("OPEN 127.0.0.1:5001 saburo", "x"));
    EXPECT_EQ(out.deliveries.at(0).bytes, Response(100, "x", "OPEN saburo"));
    EXPECT_EQ(
        out.deliveries.at(1).bytes,
        PutUser(a, "saburo NoJoin 127.0.0.1:5001 0\njiro NoJoin 127.0.0.1:5002 0\nNo entry\n"));
}

TEST_F(HandlerTest, OpenWithTheSameHandleAgainIsAccepted) {
    const int a = Member("taro");
    EXPECT_EQ(Do(a, Req("OPEN 127.0.0.1:5001 taro", "x")).deliveries.at(0).bytes,
              Response(100, "x", "OPEN taro"));
}

struct RefusalCase {
    const char* name;
    std::string line;
    int code;
};

class OpenRefusal : public HandlerTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(OpenRefusal, IsAnsweredAndChangesNothing) {
    Member("taro");
    const int b = Connect();
    const Outcome out = Do(b, Req(GetParam().line, "m002"));
    EXPECT_EQ(Of(out), (Sent{{b, Response(GetParam().code, "m002")}}));
    EXPECT_FALSE(out.refusal.empty());
    EXPECT_EQ(handler_->users().UserListBody(), "taro NoJoin 127.0.0.1:5001 0\nNo entry\n");
}

INSTANTIATE_TEST_SUITE_P(
    Handler, OpenRefusal,
    ::testing::Values(RefusalCase{"NoHandle", "OPEN 127.0.0.1:5002", 102},
                      RefusalCase{"NothingAtAll", "OPEN", 102},
                      RefusalCase{"HandleOf64", "OPEN 1.2.3.4:5 " + std::string(64, 'h'), 102},
                      RefusalCase{"AddressOf64", "OPEN " + std::string(64, 'a') + " jiro", 102},
                      RefusalCase{"ControlByte", "OPEN 1.2.3.4:5 ji\x01ro", 102},
                      RefusalCase{"Taken", "OPEN 127.0.0.1:5002 taro", 202}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(HandlerTest, HandleOf63BytesIsAccepted) {
    const int a = Connect();
    const std::string handle(63, 'h');
    EXPECT_EQ(Do(a, Req("OPEN 1.2.3.4:5 " + handle, "x")).deliveries.at(0).bytes,
              Response(100, "x", "OPEN " + handle));
}

TEST_F(HandlerTest, EucJpTextIsKeptByteForByte) {
    const int a = Connect();
    const std::string handle = "\xC2\xC0\xCF\xBA";  // 太郎 in EUC-JP
    const Outcome out = Do(a, Req("OPEN 127.0.0.1:5001 " + handle, "x"));
    EXPECT_EQ(out.deliveries.at(0).bytes, Response(100, "x", "OPEN " + handle));
    EXPECT_EQ(out.deliveries.at(1).bytes,
              PutUser(a, handle + " NoJoin 127.0.0.1:5001 0\nNo entry\n"));
}

// --- JOIN -----------------------------------------------------------------------------------

TEST_F(HandlerTest, JoinIsAcknowledgedThenEveryoneGetsTheUserList) {
    const int a = Member("taro");
    const int b = Connect();
    const Outcome out = Do(a, Req("JOIN #room", "m00100001000r008"));
    const std::string users = "taro #room 127.0.0.1:5001 0\nNo entry\n";
    EXPECT_EQ(Of(out), (Sent{{a, Response(100, "m00100001000r008", "JOIN #room")},
                             {a, PutUser(a, users)},
                             {b, PutUser(b, users)}}));
}

class JoinRefusal : public HandlerTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(JoinRefusal, IsAnswered) {
    const int a = Member("taro");
    EXPECT_EQ(Of(Do(a, Req(GetParam().line, "j"))), (Sent{{a, Response(GetParam().code, "j")}}));
}

INSTANTIATE_TEST_SUITE_P(
    Handler, JoinRefusal,
    ::testing::Values(RefusalCase{"NoHash", "JOIN room", 102},
                      RefusalCase{"HashOnly", "JOIN #", 102}, RefusalCase{"Empty", "JOIN", 102},
                      RefusalCase{"Of64", "JOIN #" + std::string(63, 'c'), 102}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(HandlerTest, JoinNeedsAHandle) {
    const int a = Connect();
    EXPECT_EQ(Of(Do(a, Req("JOIN #room", "j"))), (Sent{{a, Response(200, "j")}}));
}

TEST_F(HandlerTest, ChannelOf63BytesIsAccepted) {
    const int a = Member("taro");
    const std::string channel = std::string("#").append(62, 'c');
    EXPECT_EQ(Do(a, Req("JOIN " + channel, "j")).deliveries.at(0).bytes,
              Response(100, "j", "JOIN " + channel));
}

// --- CLOSE and leaving ------------------------------------------------------------------------

TEST_F(HandlerTest, CloseClosesAndTheOthersGetTheUserList) {
    const int a = Member("taro", "#room");
    const int b = Member("jiro", "#room");
    const Outcome out = Do(a, Req("CLOSE", "c"));
    EXPECT_TRUE(out.closeSender);
    EXPECT_EQ(Of(out), (Sent{{b, PutUser(b, "jiro #room 127.0.0.1:5002 0\nNo entry\n")}}));
    EXPECT_EQ(Connect(), a);  // the number is free again
}

TEST_F(HandlerTest, LeavingWithoutHandleChangesNoList) {
    const int a = Connect();
    Member("jiro");
    EXPECT_TRUE(Of(handler_->Disconnect(a)).empty());
    const Outcome closed = Do(Connect(), Req("CLOSE"));
    EXPECT_TRUE(closed.closeSender);
    EXPECT_TRUE(closed.deliveries.empty());
}

TEST_F(HandlerTest, DisconnectTellsTheOthers) {
    const int a = Member("taro");
    const int b = Member("jiro");
    EXPECT_EQ(Of(handler_->Disconnect(a)),
              (Sent{{b, PutUser(b, "jiro NoJoin 127.0.0.1:5002 0\nNo entry\n")}}));
    EXPECT_TRUE(Of(handler_->Disconnect(a)).empty());  // only once
}

TEST_F(HandlerTest, RequestsFromAClientThatLeftAreIgnored) {
    const int a = Member("taro");
    handler_->Disconnect(a);
    EXPECT_TRUE(Of(Do(a, Req("GETUSER"))).empty());
}

// --- MODE -----------------------------------------------------------------------------------

TEST_F(HandlerTest, DiceModeIsAcknowledgedWithoutUserList) {
    const int a = Member("taro");
    EXPECT_EQ(Of(Do(a, Req("MODE -o", "o1"))), (Sent{{a, Response(0, "o1")}}));
    EXPECT_TRUE(handler_->users().at(a).secretDice);
    EXPECT_EQ(Of(Do(a, Req("MODE +o", "o2"))), (Sent{{a, Response(0, "o2")}}));
    EXPECT_FALSE(handler_->users().at(a).secretDice);
}

TEST_F(HandlerTest, MasterModeChangesTheAttributeForEveryone) {
    const int a = Member("taro", "#room");
    const int b = Connect();
    EXPECT_EQ(Of(Do(a, Req("MODE +m", "m1"))),
              (Sent{{a, Response(0, "m1")},
                    {a, PutUser(a, "taro #room 127.0.0.1:5001 1\nNo entry\n")},
                    {b, PutUser(b, "taro #room 127.0.0.1:5001 1\nNo entry\n")}}));
    EXPECT_EQ(Do(a, Req("MODE -m", "m2")).deliveries.at(1).bytes,
              PutUser(a, "taro #room 127.0.0.1:5001 0\nNo entry\n"));
}

TEST_F(HandlerTest, AnUnchangedUserListIsNotSentAgain) {
    const int a = Member("taro", "#room");
    Connect();
    Do(a, Req("MODE +m", "m1"));
    // Asking again changes nothing: the answer only, no list for everyone.
    EXPECT_EQ(Of(Do(a, Req("MODE +m", "m2"))), (Sent{{a, Response(0, "m2")}}));
    EXPECT_EQ(Of(Do(a, Req("JOIN #room", "j"))).size(), 1u);
}

TEST_F(HandlerTest, OtherModesAreRefused) {
    const int a = Member("taro");
    for (const char* line : {"MODE", "MODE +x", "MODE o", "MODE +O"}) {
        EXPECT_EQ(Of(Do(a, Req(line, "q"))), (Sent{{a, Response(102, "q")}})) << line;
    }
}

TEST_F(HandlerTest, ModeNeedsAHandle) {
    const int a = Connect();
    EXPECT_EQ(Of(Do(a, Req("MODE +m", "q"))), (Sent{{a, Response(200, "q")}}));
    EXPECT_EQ(Of(Do(a, Req("MODE -o", "q"))), (Sent{{a, Response(200, "q")}}));
}

// --- Rolls ----------------------------------------------------------------------------------

std::string Show(std::string_view line, std::string_view id, std::string_view dice) {
    return ToClient(line, id, "tesra/result", dice);
}

TEST_F(HandlerTest, RollGoesToTheWholeChannelUnderTheRequestId) {
    Reset({3, 5});
    const int a = Member("taro", "#room");
    const int b = Member("jiro", "#room");
    Member("hanako", "#other");
    const Outcome out = Do(a, Req("ROLL 2 6 0 0", "m00100002000+002xattack"));
    const std::string show = Show("SHOW 2 6 taro 0 0", "m00100002000+002xattack", "3\n5\n");
    EXPECT_EQ(Of(out), (Sent{{a, show}, {b, show}}));
}

TEST_F(HandlerTest, RollWithoutIdGetsEachRecipientsOwnId) {
    Reset({4});
    const int a = Member("taro", "#room");
    const int b = Member("jiro", "#room");
    EXPECT_EQ(Of(Do(a, Req("ROLL 1 20"))), (Sent{{a, Show("SHOW 1 20 taro 0 0", Sid(a), "4\n")},
                                                 {b, Show("SHOW 1 20 taro 0 0", Sid(b), "4\n")}}));
}

TEST_F(HandlerTest, RollRulesApply) {
    Reset({6, 2, 1, 1});
    const int a = Member("taro", "#room");
    EXPECT_EQ(Of(Do(a, Req("ROLL 2 6 1 0", "r"))),
              (Sent{{a, Show("SHOW 2 6 taro 1 0", "r", "6\n2\n0\n1\n1\n")}}));
}

TEST_F(HandlerTest, RollNeedsAChannel) {
    const int a = Member("taro");
    const int b = Connect();
    for (const char* line : {"ROLL 2 6 0 0", "REROLL 2 6 0 0", "FAKEROLL 2 6 0 0"}) {
        EXPECT_EQ(Of(Do(a, Req(line, "r"))), (Sent{{a, Response(201, "r")}})) << line;
        EXPECT_EQ(Of(Do(b, Req(line, "r"))), (Sent{{b, Response(201, "r")}})) << line;
    }
}

class RollRefusal : public HandlerTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RollRefusal, IsAnsweredWith102AndRollsNothing) {
    Reset({});
    const int a = Member("taro", "#room");
    Member("jiro", "#room");
    const std::string id = GetParam().code == 1   ? "s***002"
                           : GetParam().code == 2 ? "m25500000000+001x\x1B[2J"
                                                  : "m1";
    EXPECT_EQ(Of(Do(a, Req(GetParam().line, id, "tesra/result", "3\n"))),
              (Sent{{a, Response(102, id)}}));
}

INSTANTIATE_TEST_SUITE_P(
    Handler, RollRefusal,
    ::testing::Values(
        RefusalCase{"NoDice", "ROLL 0 6 0 0", 0}, RefusalCase{"TooManyDice", "ROLL 256 6 0 0", 0},
        RefusalCase{"NoSides", "ROLL 2 0 0 0", 0}, RefusalCase{"TooManySides", "ROLL 2 256 0 0", 0},
        RefusalCase{"MissingSides", "ROLL 2", 0}, RefusalCase{"Signed", "ROLL +2 6 0 0", 0},
        RefusalCase{"Word", "ROLL two 6 0 0", 0}, RefusalCase{"RuleTooBig", "ROLL 2 6 256 0", 0},
        RefusalCase{"ParameterWithRerollMark", "ROLL 2 6 10 128", 0},
        RefusalCase{"NegativeParameter", "ROLL 2 6 10 -1", 0},
        RefusalCase{"FakeTooManyDice", "FAKEROLL 300 6 0 0", 0},
        RefusalCase{"RerollNoSides", "REROLL 3 0 7 0", 0},
        // A server-assigned ID would renumber every recipient.
        RefusalCase{"ServerId", "ROLL 2 6 0 0", 1},
        RefusalCase{"ServerIdOnFake", "FAKEROLL 2 6 0 0", 1},
        // Every recipient shows and logs the note.
        RefusalCase{"ControlBytesInTheNote", "ROLL 2 6 0 0", 2}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

TEST_F(HandlerTest, SecretDiceReachOnlyTheRollerAndTheMasters) {
    Reset({2, 2});
    const int player = Member("taro", "#room");
    const int master = Member("gm", "#room");
    const int other = Member("jiro", "#room");
    const int elsewhereMaster = Member("gm2", "#other");
    Do(master, Req("MODE +m"));
    Do(elsewhereMaster, Req("MODE +m"));
    Do(player, Req("MODE -o"));
    const std::string show = Show("SHOW 2 6 taro 0 0", "s1", "2\n2\n");
    EXPECT_EQ(Of(Do(player, Req("ROLL 2 6 0 0", "s1"))), (Sent{{player, show}, {master, show}}));
    (void)other;
}

TEST_F(HandlerTest, SecretDiceOfAMasterReachTheOtherMasters) {
    Reset({4});
    const int gm = Member("gm", "#room");
    const int gm2 = Member("gm2", "#room");
    Member("taro", "#room");
    Do(gm, Req("MODE +m"));
    Do(gm2, Req("MODE +m"));
    Do(gm, Req("MODE -o"));
    const std::string show = Show("SHOW 1 6 gm 0 0", "s", "4\n");
    EXPECT_EQ(Of(Do(gm, Req("ROLL 1 6", "s"))), (Sent{{gm, show}, {gm2, show}}));
}

TEST_F(HandlerTest, OpenDiceAgainReachEveryone) {
    Reset({4});
    const int a = Member("taro", "#room");
    const int b = Member("jiro", "#room");
    Do(a, Req("MODE -o"));
    Do(a, Req("MODE +o"));
    EXPECT_EQ(Of(Do(a, Req("ROLL 1 6", "s"))).size(), 2u);
    (void)b;
}

TEST_F(HandlerTest, RerollShowsThePreviousDiceThenNewRoundsMarked) {
    Reset({3, 3, 1, 2, 5});
    const int a = Member("taro", "#room");
    EXPECT_EQ(
        Of(Do(a, Req("REROLL 2 6 7 0", "m00100003000+001", "tesra/result", "4\n4\n0\n6\n1\n"))),
        (Sent{{a, Show("SHOW 2 6 taro 7 128", "m00100003000+001",
                       "4\n4\n0\n6\n1\n0\n3\n3\n0\n1\n2\n")}}));
}

TEST_F(HandlerTest, RerollOfNothingStartsWithTheSeparator) {
    Reset({5});
    const int a = Member("taro", "#room");
    EXPECT_EQ(Of(Do(a, Req("REROLL 1 6 0 3", "x", "tesra/result", ""))),
              (Sent{{a, Show("SHOW 1 6 taro 0 131", "x", "0\n5\n")}}));
}

TEST_F(HandlerTest, RerollRefusesBadPreviousDice) {
    const int a = Member("taro", "#room");
    for (const std::string body : {"4\nx\n", "4", "12345678\n", "-1\n", "\n"}) {
        EXPECT_EQ(Of(Do(a, Req("REROLL 1 6 0 0", "x", "tesra/result", body))),
                  (Sent{{a, Response(102, "x")}}))
            << body;
    }
}

TEST_F(HandlerTest, RerollThatCannotFitANewRoundIsRefused) {
    const int a = Member("taro", "#room");
    std::string previous;
    while (previous.size() + 6 <= 4094) {
        previous += "12345\n";
    }
    // Two bytes are left after the separator: room for exactly one one-digit die.
    ASSERT_EQ(previous.size() + 2, 4094u);
    EXPECT_EQ(Do(a, Req("REROLL 1 6 0 0", "x", "tesra/result", previous)).deliveries.at(0).bytes,
              Show("SHOW 1 6 taro 0 128", "x", previous + "0\n1\n"));
    previous += "1\n";
    EXPECT_EQ(Of(Do(a, Req("REROLL 1 6 0 0", "x", "tesra/result", previous))),
              (Sent{{a, Response(102, "x")}}));
}

TEST_F(HandlerTest, FakeRollShowsExactlyTheGivenDice) {
    Reset({});
    const int a = Member("taro", "#room");
    const int b = Member("jiro", "#room");
    const std::string show = Show("SHOW 2 6 taro 0 0", "m001000040000000xcheat", "3\n4\n");
    EXPECT_EQ(Of(Do(a, Req("FAKEROLL 2 6 0 0 3 4 cheat", "m001000040000000xcheat", "tesra/result",
                           "3\n4\n"))),
              (Sent{{a, show}, {b, show}}));
}

TEST_F(HandlerTest, FakeRollRefusesAnythingButDiceLines) {
    const int a = Member("taro", "#room");
    for (const std::string body : {"", "3\n4", "3\nfour\n", "3 4\n", "3\r\n"}) {
        EXPECT_EQ(Of(Do(a, Req("FAKEROLL 2 6 0 0", "f", "tesra/result", body))),
                  (Sent{{a, Response(102, "f")}}))
            << body;
    }
}

// --- SENDMESG -------------------------------------------------------------------------------

TEST_F(HandlerTest, MessageToEveryoneReachesTheChannelSenderIncluded) {
    const int a = Member("taro", "#room");
    const int b = Member("jiro", "#room");
    Member("hanako", "#other");
    const int d = Connect();
    EXPECT_EQ(Of(Do(a, Req("SENDMESG *", "a00100005000", "tesra/euc", "hello"))),
              (Sent{{a, ToClient("SHOWMESG taro", Sid(a), "tesra/euc", "hello")},
                    {b, ToClient("SHOWMESG taro", Sid(b), "tesra/euc", "hello")}}));
    (void)d;
}

TEST_F(HandlerTest, MessageKeepsItsContentTypeAndBinaryBody) {
    const int a = Member("taro", "#room");
    const std::string body("CC FILESEND x\0\xff", 15);
    EXPECT_EQ(Of(Do(a, Req("SENDMESG *", "a", "tesra/binary", body))),
              (Sent{{a, ToClient("SHOWMESG taro", Sid(a), "tesra/binary", body)}}));
    EXPECT_EQ(Of(Do(a, Req("SENDMESG *", "a", "tesra/whatever", "x"))),
              (Sent{{a, ToClient("SHOWMESG taro", Sid(a), "tesra/other", "x")}}));
}

TEST_F(HandlerTest, MessageToEveryoneNeedsAChannel) {
    const int a = Member("taro");
    EXPECT_EQ(Of(Do(a, Req("SENDMESG *", "a", "tesra/euc", "hi"))),
              (Sent{{a, Response(201, "a")}}));
}

TEST_F(HandlerTest, PrivateMessageReachesTargetAndSender) {
    const int a = Member("taro", "#room");
    const int b = Member("jiro", "#other");
    Member("hanako", "#room");
    EXPECT_EQ(Of(Do(a, Req("SENDMESG jiro", "a", "tesra/euc", "to jiro: psst"))),
              (Sent{{b, ToClient("SHOWMESG taro", Sid(b), "tesra/euc", "to jiro: psst")},
                    {a, ToClient("SHOWMESG taro", Sid(a), "tesra/euc", "to jiro: psst")}}));
}

TEST_F(HandlerTest, PrivateMessageToOneselfArrivesOnce) {
    const int a = Member("taro");
    EXPECT_EQ(Of(Do(a, Req("SENDMESG taro", "a", "tesra/euc", "memo"))),
              (Sent{{a, ToClient("SHOWMESG taro", Sid(a), "tesra/euc", "memo")}}));
}

TEST_F(HandlerTest, PrivateMessageRefusals) {
    const int a = Member("taro");
    const int b = Connect();
    EXPECT_EQ(Of(Do(a, Req("SENDMESG nobody", "a", "tesra/euc", "x"))),
              (Sent{{a, Response(102, "a")}}));
    EXPECT_EQ(Of(Do(a, Req("SENDMESG", "a", "tesra/euc", "x"))), (Sent{{a, Response(102, "a")}}));
    EXPECT_EQ(Of(Do(b, Req("SENDMESG taro", "b", "tesra/euc", "x"))),
              (Sent{{b, Response(200, "b")}}));
}

// --- Lists ----------------------------------------------------------------------------------

TEST_F(HandlerTest, GetUserAnswersTheSenderUnderItsId) {
    const int a = Member("taro", "#room");
    Connect();
    Member("jiro");
    EXPECT_EQ(Of(Do(a, Req("GETUSER", "g"))),
              (Sent{{a, ToClient("PUTUSER", "g", "tesra/euc",
                                 "taro #room 127.0.0.1:5001 0\njiro NoJoin 127.0.0.1:5003 0\n"
                                 "No entry\n")}}));
}

TEST_F(HandlerTest, GetUserWithoutUsersIsTheEndMarkerAlone) {
    const int a = Connect();
    EXPECT_EQ(Of(Do(a, Req("GETUSER"))),
              (Sent{{a, ToClient("PUTUSER", Sid(a), "tesra/euc", "No entry\n")}}));
}

TEST(HandlerLists, UserListHasAtMost32Lines) {
    RelayConfig config;
    config.maxClients = 40;
    RequestHandler handler(config, std::make_unique<ScriptedDice>(std::vector<int>{}));
    std::string expected;
    for (int i = 1; i <= 33; ++i) {
        Outcome out;
        const int n = handler.Connect(kStart, out).value();
        handler.Handle(n, Req("OPEN a:" + std::to_string(i) + " u" + std::to_string(i)), kStart);
        if (i <= 32) {
            expected.append("u").append(std::to_string(i)).append(" NoJoin a:");
            expected.append(std::to_string(i)).append(" 0\n");
        }
    }
    EXPECT_EQ(Bytes(handler.users().UserListBody()), Bytes(expected + "No entry\n"));
}

TEST(HandlerLists, UserListStaysWithin4096Bytes) {
    RelayConfig config;
    config.maxClients = 40;
    RequestHandler handler(config, std::make_unique<ScriptedDice>(std::vector<int>{}));
    for (int i = 0; i < 32; ++i) {
        Outcome out;
        const int n = handler.Connect(kStart, out).value();
        const std::string tag = std::to_string(100 + i);
        handler.Handle(n,
                       Req("OPEN " + std::string(60, 'a') + tag + " " + std::string(60, 'h') + tag),
                       kStart);
        handler.Handle(n, Req("JOIN #" + std::string(59, 'c') + tag), kStart);
    }
    const std::string body = handler.users().UserListBody();
    // Each line is 63 + 1 + 63 + 1 + 63 + 3 bytes; 21 of them and the end marker fit.
    EXPECT_EQ(body.size(), 21u * 194 + 9);
    EXPECT_TRUE(body.ends_with("\nNo entry\n"));
}

TEST_F(HandlerTest, ListCountsMembersPerChannelByName) {
    const int a = Member("taro", "#zoo");
    Member("jiro", "#abc");
    Member("hanako", "#zoo");
    Member("nobody");
    EXPECT_EQ(Of(Do(a, Req("LIST", "l"))),
              (Sent{{a, ToClient("PUTCHANNEL", "l", "tesra/euc", "#abc 1\n#zoo 2\n")}}));
}

TEST_F(HandlerTest, ListWithoutChannelsHasNoBody) {
    const int a = Connect();
    EXPECT_EQ(Of(Do(a, Req("LIST", "l"))), (Sent{{a, ToClient("PUTCHANNEL", "l")}}));
}

TEST(HandlerLists, ChannelListStaysWithin4096Bytes) {
    RelayConfig config;
    config.maxClients = 100;
    RequestHandler handler(config, std::make_unique<ScriptedDice>(std::vector<int>{}));
    for (int i = 0; i < 100; ++i) {
        Outcome out;
        const int n = handler.Connect(kStart, out).value();
        const std::string tag = std::to_string(100 + i);
        handler.Handle(n, Req("OPEN a:1 h" + tag), kStart);
        handler.Handle(n, Req("JOIN #" + std::string(59, 'c') + tag), kStart);
    }
    const std::string body = handler.users().ChannelListBody();
    EXPECT_EQ(body.size(), 62u * 66);  // whole lines of 66 bytes
}

// --- Other requests ---------------------------------------------------------------------------

TEST_F(HandlerTest, OperateIsNotAccepted) {
    const int a = Member("taro");
    const Outcome out = Do(a, Req("OPERATE kick jiro", "op"));
    EXPECT_EQ(Of(out), (Sent{{a, Response(300, "op")}}));
    EXPECT_FALSE(out.refusal.empty());
}

TEST_F(HandlerTest, AnythingElseIsABadCommand) {
    const int a = Member("taro");
    for (const char* line :
         {"HELLO", "READY 1", "SHOW 1 6 a 0 0", "PUTUSER", "list", "CMD QUIT", ""}) {
        const Outcome out = Do(a, Req(line, "z"));
        EXPECT_EQ(Of(out), (Sent{{a, Response(101, "z")}})) << line;
        EXPECT_NE(out.refusal.find("RESPONSE 101"), std::string::npos);
    }
}

TEST_F(HandlerTest, MalformedRequestsGetTheirCode) {
    const int a = Connect();
    EXPECT_EQ(Of(Do(a, NoiseRequest("text outside a message"))),
              (Sent{{a, Response(101, Sid(a))}}));
    FramedMessage noDirection{{"TesseraRELAY 0.2", "LIST"}, {}};
    EXPECT_EQ(Of(Do(a, ParseRequest(noDirection))), (Sent{{a, Response(101, Sid(a))}}));
}

TEST_F(HandlerTest, ResponsesAreNeverAnswered) {
    const int a = Member("taro");
    for (const char* line : {"RESPONSE 000 1", "RESPONSE 000 7", "RESPONSE 101", "RESPONSE"}) {
        const Outcome out = Do(a, Req(line, "r"));
        EXPECT_TRUE(out.deliveries.empty()) << line;
        EXPECT_TRUE(out.refusal.empty()) << line;
    }
}

// --- Probes ---------------------------------------------------------------------------------

class ProbeTest : public HandlerTest {
  protected:
    static RelayConfig Config() {
        RelayConfig c;
        c.probeInterval = 60s;
        c.probeTimeout = 30s;
        return c;
    }
    ProbeTest() : HandlerTest(Config()) {}

    Outcome Tick(Clock::time_point at, std::vector<int>& silent) {
        return handler_->Tick(at, silent);
    }
};

TEST_F(ProbeTest, AnUnansweredFirstProbeMakesTheClientSilent) {
    const int a = Connect();
    std::vector<int> silent;
    EXPECT_TRUE(Of(Tick(kStart + 29s, silent)).empty());
    EXPECT_TRUE(silent.empty());
    Tick(kStart + 30s, silent);
    EXPECT_EQ(silent, std::vector<int>{a});
    EXPECT_EQ(handler_->NextDeadline(), std::nullopt);
}

TEST_F(ProbeTest, AnAnsweredProbeIsRepeatedAfterTheInterval) {
    const int a = Connect();
    handler_->Handle(a, Req("RESPONSE 000 1", "s***001"), kStart + 1s);
    EXPECT_EQ(handler_->NextDeadline(), kStart + 61s);
    std::vector<int> silent;
    EXPECT_TRUE(Of(Tick(kStart + 60s, silent)).empty());
    EXPECT_EQ(Of(Tick(kStart + 61s, silent)),
              (Sent{{a, "TesseraRELAY/0.1\ntoClient\nREADY 1\nID: s***001\n\n"}}));
    EXPECT_TRUE(silent.empty());
    EXPECT_EQ(handler_->NextDeadline(), kStart + 91s);
    Tick(kStart + 91s, silent);
    EXPECT_EQ(silent, std::vector<int>{a});
}

TEST_F(ProbeTest, OnlyTheRightAnswerCounts) {
    const int a = Connect();
    Connect();
    handler_->Handle(a, Req("RESPONSE 000 2"), kStart);  // another client's number
    handler_->Handle(a, Req("RESPONSE 101 1"), kStart);
    handler_->Handle(a, Req("GETUSER"), kStart);  // traffic is no answer
    std::vector<int> silent;
    Tick(kStart + 30s, silent);
    EXPECT_EQ(silent, (std::vector<int>{1, 2}));
}

TEST_F(ProbeTest, ALeftClientIsNotProbed) {
    const int a = Connect();
    handler_->Disconnect(a);
    std::vector<int> silent;
    EXPECT_TRUE(Of(Tick(kStart + 100s, silent)).empty());
    EXPECT_TRUE(silent.empty());
}

}  // namespace
}  // namespace tessel::relay
