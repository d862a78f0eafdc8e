// SPDX-License-Identifier: MIT

// Whatever one client sends or fails to read, the relay keeps serving the others.

#include <gtest/gtest.h>

#include <random>

#include "RelayTestClient.h"
#include "RelayWire.h"
#include "support/Bytes.h"

namespace tessel::relay {
namespace {

using namespace std::chrono_literals;
using tessel::test::Bytes;
using test::InProcessRelay;
using test::RelayTestClient;
using test::ServerMessage;
using test::ToClient;
using test::ToServer;

RelayConfig Config() {
    RelayConfig config;
    config.seed = 1;
    config.probeInterval = 3600s;
    config.probeTimeout = 3600s;
    config.maxClients = 999;
    return config;
}

std::string Sid(int n) {
    char id[16];
    std::snprintf(id, sizeof id, "s***%03d", n);
    return id;
}

class RobustnessTest : public ::testing::Test {
  protected:
    RobustnessTest() : relay_(Config()) {}

    void SetUp() override { ASSERT_TRUE(relay_.running()); }

    static std::optional<ServerMessage> AnswerTo(RelayTestClient& c, std::string_view id) {
        while (true) {
            std::optional<ServerMessage> m = c.Next();
            if (!m || m->id == id) {
                return m;
            }
        }
    }

    std::unique_ptr<RelayTestClient> Member(const std::string& handle, int receiveBuffer = 0) {
        auto c = std::make_unique<RelayTestClient>(relay_.port(), receiveBuffer);
        EXPECT_GT(c->Welcome(), 0);
        c->Send(ToServer("OPEN 127.0.0.1:1 " + handle, "o-" + handle));
        EXPECT_EQ(AnswerTo(*c, "o-" + handle)->command, "RESPONSE 100");
        c->Send(ToServer("JOIN #room", "j-" + handle));
        EXPECT_EQ(AnswerTo(*c, "j-" + handle)->command, "RESPONSE 100");
        return c;
    }

    // A newcomer is welcomed, registered, joins and has its chat line relayed back.
    void ExpectServesANewcomer() {
        const std::string handle = "newcomer" + std::to_string(++newcomers_);
        auto c = Member(handle);
        c->Send(ToServer("SENDMESG *", "chat", "tesra/euc", "still there?"));
        const std::optional<ServerMessage> echo = c->NextCommand("SHOWMESG");
        ASSERT_TRUE(echo.has_value());
        EXPECT_EQ(Bytes(echo->raw), Bytes(ToClient("SHOWMESG " + handle, Sid(c->number()),
                                                   "tesra/euc", "still there?")));
        c->Send(ToServer("CLOSE"));
        EXPECT_TRUE(c->WaitClosed());
    }

    InProcessRelay relay_;
    int newcomers_ = 0;
};

TEST_F(RobustnessTest, MalformedHeadersAreAnsweredAndTheConnectionGoesOn) {
    RelayTestClient c(relay_.port());
    const int n = c.Welcome();
    c.Send("TesseraRELAY 0.2\nfromServer\nLIST\nID: q1\n\n");
    EXPECT_EQ(Bytes(c.Next()->raw), Bytes(ToClient("RESPONSE 101", "q1")));
    c.Send("TesseraRELAY 0.2\ntoServer\n\n");
    EXPECT_EQ(Bytes(c.Next()->raw), Bytes(ToClient("RESPONSE 101", Sid(n))));
    c.Send("TesseraRELAY 0.2\ntoServer\nLIST\nID: " + std::string(100, 'i') + "\n\n");
    EXPECT_EQ(Bytes(c.Next()->raw), Bytes(ToClient("RESPONSE 102", Sid(n))));
    c.Send("GET / HTTP/1.1\nHost: x\n\n");
    EXPECT_EQ(Bytes(c.Next()->raw), Bytes(ToClient("RESPONSE 101", Sid(n))));
    c.Send(ToServer("GETUSER", "fine"));
    EXPECT_EQ(Bytes(c.Next()->raw), Bytes(ToClient("PUTUSER", "fine", "tesra/euc", "No entry\n")));
    EXPECT_TRUE(relay_.log().WaitFor("refused", 4));
    ExpectServesANewcomer();
}

TEST_F(RobustnessTest, AnUnframeableLengthClosesThatConnectionOnly) {
    auto member = Member("taro");
    RelayTestClient c(relay_.port());
    const int n = c.Welcome();
    c.Send("TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: lots\n\n" +
           ToServer("GETUSER"));
    EXPECT_EQ(Bytes(c.Next()->raw), Bytes(ToClient("RESPONSE 102", Sid(n))));
    EXPECT_TRUE(c.WaitClosed());
    EXPECT_TRUE(relay_.log().WaitFor("cannot frame its stream: Content-length"));
    ExpectServesANewcomer();
}

TEST_F(RobustnessTest, ABodyLongerThanAnnouncedLeavesNoiseThatIsAnswered) {
    auto a = Member("taro");
    a->Send(
        "TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: 5\nContent-type: tesra/euc\n"
        "ID: x\n\nhello world\n" +
        ToServer("GETUSER", "after"));
    const std::optional<ServerMessage> chat = a->NextCommand("SHOWMESG");
    ASSERT_TRUE(chat.has_value());
    EXPECT_EQ(chat->body, "hello");
    EXPECT_EQ(Bytes(a->Next()->raw), Bytes(ToClient("RESPONSE 101", Sid(a->number()))));
    EXPECT_EQ(a->Next()->id, "after");
    ExpectServesANewcomer();
}

TEST_F(RobustnessTest, ABodyShorterThanAnnouncedSwallowsWhatFollows) {
    auto a = Member("taro");
    const std::string next = ToServer("GETUSER", "swallowed");
    a->Send(
        "TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: 30\nContent-type: tesra/euc\n"
        "ID: x\n\nhello" +
        next);
    const std::optional<ServerMessage> chat = a->NextCommand("SHOWMESG");
    ASSERT_TRUE(chat.has_value());
    EXPECT_EQ(Bytes(chat->body), Bytes("hello" + next.substr(0, 25)));
    // The tail of the swallowed request is noise; after it the stream is in step again.
    EXPECT_EQ(Bytes(a->Next()->raw), Bytes(ToClient("RESPONSE 101", Sid(a->number()))));
    a->Send(ToServer("GETUSER", "in-step"));
    EXPECT_EQ(a->Next()->id, "in-step");
    ExpectServesANewcomer();
}

TEST_F(RobustnessTest, ABodyThatNeverCompletesEndsWithTheConnection) {
    auto watcher = Member("watcher");
    auto a = Member("taro");
    // Read to the end first, so that closing is an orderly end of stream.
    a->Send(ToServer("GETUSER", "sync"));
    ASSERT_TRUE(AnswerTo(*a, "sync").has_value());
    a->Send("TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: 100\n\nonly a little");
    a->Close();
    EXPECT_TRUE(relay_.log().WaitFor("closed by the client in mid-message"));
    // The watcher learns that taro left, and nothing of the half message.
    while (true) {
        const std::optional<ServerMessage> m = watcher->Next();
        ASSERT_TRUE(m.has_value());
        ASSERT_NE(m->command, "SHOWMESG taro");
        if (m->command == "PUTUSER" && m->body.find("taro") == std::string::npos) {
            break;
        }
    }
    ExpectServesANewcomer();
}

TEST_F(RobustnessTest, DisconnectingInMidHeaderIsHarmless) {
    for (const std::string partial :
         {"Tesse", "TesseraRELAY 0.2\ntoSer", "TesseraRELAY 0.2\ntoServer\nOPEN a:1 x\nID"}) {
        RelayTestClient c(relay_.port());
        c.Welcome();
        c.Send(partial);
        c.Close();
    }
    EXPECT_TRUE(relay_.log().WaitFor("in mid-message", 3));
    ExpectServesANewcomer();
}

TEST_F(RobustnessTest, AMegabyteLineClosesThatConnectionOnly) {
    auto member = Member("taro");
    for (const std::string start : {"", "TesseraRELAY 0.2\ntoServer\n"}) {
        RelayTestClient c(relay_.port());
        c.Welcome();
        c.Send(start + std::string(1 << 20, 'x') + "\n");  // may fail half-way: the relay hangs up
        EXPECT_TRUE(c.WaitClosed());
    }
    EXPECT_TRUE(relay_.log().WaitFor("header line longer than 1024 bytes", 2));
    member->Send(ToServer("GETUSER", "member-ok"));
    EXPECT_EQ(AnswerTo(*member, "member-ok")->command, "PUTUSER");
    ExpectServesANewcomer();
}

TEST_F(RobustnessTest, AClientThatNeverReadsIsDroppedAndStallsNobody) {
    // A small receive window makes the kernel hold little for it.
    auto sleeper = Member("sleeper", 4096);
    auto talker = Member("talker");
    const std::string line(4000, 'w');
    int sent = 0;
    // Each line reaches the sleeper too; the talker reads its own copy before sending on,
    // so it stays a reading client all along.
    while (relay_.log().Count("output queue full") == 0) {
        ASSERT_LT(sent, 5000) << "the sleeper was never dropped";
        ASSERT_TRUE(talker->Send(ToServer("SENDMESG *", "t", "tesra/euc", line)));
        const std::optional<ServerMessage> echo = talker->NextCommand("SHOWMESG");
        ASSERT_TRUE(echo.has_value()) << "the talker was stalled after " << sent << " lines";
        ++sent;
    }
    EXPECT_TRUE(relay_.log().WaitFor("client " + std::to_string(sleeper->number()) +
                                     " disconnected: output queue full"));
    // More than the queue's megabyte went to the sleeper before it was dropped.
    EXPECT_GT(sent * 4000, 1024 * 1024);
    const std::optional<ServerMessage> left = talker->NextCommand("PUTUSER");
    ASSERT_TRUE(left.has_value());
    EXPECT_EQ(left->body.find("sleeper"), std::string::npos);
    ExpectServesANewcomer();
}

TEST_F(RobustnessTest, TenThousandConnectsAndDisconnectsInARow) {
    constexpr int kRounds = 10'000;
    for (int i = 0; i < kRounds; ++i) {
        RelayTestClient c(relay_.port());
        ASSERT_TRUE(c.connected()) << i;
        ASSERT_GT(c.Welcome(), 0) << i;  // accepted; it closes as it goes
    }
    ASSERT_TRUE(relay_.log().WaitFor(" disconnected: ", kRounds, 60s));
    // Every number came free again.
    RelayTestClient c(relay_.port());
    EXPECT_EQ(c.Welcome(), 1);
    ExpectServesANewcomer();
}

TEST_F(RobustnessTest, RandomBytesLeaveTheRelayServing) {
    std::mt19937 random(12345);
    for (int round = 0; round < 20; ++round) {
        RelayTestClient c(relay_.port());
        c.Welcome();
        std::string junk(64 * 1024, '\0');
        for (char& b : junk) {
            const unsigned v = random() % 300;
            // Plenty of line feeds and greetings, so the reader goes through all its states.
            b = v < 20 ? '\n' : static_cast<char>(v & 0xFF);
        }
        for (std::size_t at = 0; at < junk.size(); at += 5000) {
            junk.insert(at, "TesseraRELAY 0.2\ntoServer\nSENDMESG *\nContent-length: 40\n\n");
        }
        c.Send(junk, 2s);
        c.Close();
    }
    ExpectServesANewcomer();
}

TEST_F(RobustnessTest, ARequestSentByteByByteIsServed) {
    RelayTestClient c(relay_.port());
    c.Welcome();
    for (const char b : ToServer("GETUSER", "slow")) {
        ASSERT_TRUE(c.Send(std::string(1, b)));
    }
    EXPECT_EQ(c.Next()->id, "slow");
}

}  // namespace
}  // namespace tessel::relay
