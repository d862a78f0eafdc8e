// SPDX-License-Identifier: MIT

// The relay in this process on an ephemeral loopback port, driven by small test clients.

#include <gtest/gtest.h>

#include "RelayTestClient.h"
#include "RelayWire.h"
#include "relay/DiceRoller.h"
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

constexpr std::uint64_t kSeed = 20240601;

RelayConfig QuietConfig() {
    RelayConfig config;
    config.seed = kSeed;
    config.probeInterval = 3600s;  // no probes unless a test asks for them
    config.probeTimeout = 3600s;
    return config;
}

std::string Sid(int n) {
    char id[16];
    std::snprintf(id, sizeof id, "s***%03d", n);
    return id;
}

Bytes Raw(const std::optional<ServerMessage>& m) {
    return m ? Bytes(m->raw) : Bytes("<nothing>");
}

class LoopbackTest : public ::testing::Test {
  protected:
    explicit LoopbackTest(RelayConfig config = QuietConfig()) : relay_(config) {}

    void SetUp() override { ASSERT_TRUE(relay_.running()); }

    std::unique_ptr<RelayTestClient> Client() {
        auto c = std::make_unique<RelayTestClient>(relay_.port());
        EXPECT_TRUE(c->connected());
        EXPECT_GT(c->Welcome(), 0);
        return c;
    }

    // Waits until the message answering `id` arrives; skips list updates before it.
    static std::optional<ServerMessage> AnswerTo(RelayTestClient& c, std::string_view id) {
        while (true) {
            std::optional<ServerMessage> m = c.Next();
            if (!m || m->id == id) {
                return m;
            }
        }
    }

    // A client registered (and joined) with its answers read.
    std::unique_ptr<RelayTestClient> Member(const std::string& handle, const std::string& channel) {
        auto c = Client();
        c->Send(ToServer("OPEN 127.0.0.1:" + std::to_string(6000 + c->number()) + " " + handle,
                         "open-" + handle));
        EXPECT_EQ(AnswerTo(*c, "open-" + handle)->command, "RESPONSE 100");
        c->Send(ToServer("JOIN " + channel, "join-" + handle));
        EXPECT_EQ(AnswerTo(*c, "join-" + handle)->command, "RESPONSE 100");
        return c;
    }

    // Everything a client has been sent up to now is read: the relay answers a GETUSER
    // after everything queued before it.
    void Drain(RelayTestClient& c) {
        const std::string id = "drain" + std::to_string(++drains_);
        c.Send(ToServer("GETUSER", id));
        ASSERT_TRUE(AnswerTo(c, id).has_value());
    }

    InProcessRelay relay_;
    int drains_ = 0;
};

TEST_F(LoopbackTest, EachConnectionIsWelcomedWithItsNumber) {
    RelayTestClient a(relay_.port());
    EXPECT_EQ(Raw(a.Next()), Bytes("TesseraRELAY/0.1\ntoClient\nREADY 1\nID: s***001\n\n"));
    RelayTestClient b(relay_.port());
    EXPECT_EQ(Raw(b.Next()), Bytes("TesseraRELAY/0.1\ntoClient\nREADY 2\nID: s***002\n\n"));
    a.Close();
    ASSERT_TRUE(relay_.log().WaitFor("client 1 disconnected"));
    RelayTestClient c(relay_.port());
    EXPECT_EQ(Raw(c.Next()), Bytes("TesseraRELAY/0.1\ntoClient\nREADY 1\nID: s***001\n\n"));
}

TEST_F(LoopbackTest, OpenAndJoinAreAnsweredAndEveryoneGetsTheUserList) {
    auto a = Client();
    auto b = Client();
    a->Send(ToServer("OPEN 127.0.0.1:40001 taro", "m00100000000r002"));
    EXPECT_EQ(Raw(a->Next()),
              Bytes(ToClient("RESPONSE 100", "m00100000000r002", "tesra/euc", "OPEN taro")));
    const std::string users1 = "taro NoJoin 127.0.0.1:40001 0\nNo entry\n";
    EXPECT_EQ(Raw(a->Next()), Bytes(ToClient("PUTUSER", "s***001", "tesra/euc", users1)));
    EXPECT_EQ(Raw(b->Next()), Bytes(ToClient("PUTUSER", "s***002", "tesra/euc", users1)));

    a->Send(ToServer("JOIN #room", "m00100001000r008"));
    EXPECT_EQ(Raw(a->Next()),
              Bytes(ToClient("RESPONSE 100", "m00100001000r008", "tesra/euc", "JOIN #room")));
    const std::string users2 = "taro #room 127.0.0.1:40001 0\nNo entry\n";
    EXPECT_EQ(Raw(a->Next()), Bytes(ToClient("PUTUSER", "s***001", "tesra/euc", users2)));
    EXPECT_EQ(Raw(b->Next()), Bytes(ToClient("PUTUSER", "s***002", "tesra/euc", users2)));

    b->Send(ToServer("JOIN #room", "bj"));
    EXPECT_EQ(Raw(b->Next()), Bytes(ToClient("RESPONSE 200", "bj")));
    b->Send(ToServer("OPEN 127.0.0.1:40002 taro", "bo"));
    EXPECT_EQ(Raw(b->Next()), Bytes(ToClient("RESPONSE 202", "bo")));
    EXPECT_TRUE(relay_.log().WaitFor("client 2 refused 'OPEN 127.0.0.1:40002 taro': RESPONSE 202"));
}

TEST_F(LoopbackTest, ChatReachesTheChannelOnly) {
    auto a = Member("taro", "#room");
    auto b = Member("jiro", "#room");
    auto c = Member("hanako", "#other");
    Drain(*a);
    Drain(*b);
    Drain(*c);
    a->Send(ToServer("SENDMESG *", "a00100005000", "tesra/euc", "hello"));
    EXPECT_EQ(Raw(a->Next()),
              Bytes(ToClient("SHOWMESG taro", Sid(a->number()), "tesra/euc", "hello")));
    EXPECT_EQ(Raw(b->Next()),
              Bytes(ToClient("SHOWMESG taro", Sid(b->number()), "tesra/euc", "hello")));
    // The next thing c gets is its own answer: the chat never reached it.
    c->Send(ToServer("LIST", "c-list"));
    EXPECT_EQ(Raw(c->Next()),
              Bytes(ToClient("PUTCHANNEL", "c-list", "tesra/euc", "#other 1\n#room 2\n")));
}

TEST_F(LoopbackTest, PrivateMessageReachesTargetAndSender) {
    auto a = Member("taro", "#room");
    auto b = Member("jiro", "#other");
    Drain(*a);
    Drain(*b);
    a->Send(ToServer("SENDMESG jiro", "p", "tesra/euc", "to jiro: psst"));
    EXPECT_EQ(Raw(b->Next()),
              Bytes(ToClient("SHOWMESG taro", Sid(b->number()), "tesra/euc", "to jiro: psst")));
    EXPECT_EQ(Raw(a->Next()),
              Bytes(ToClient("SHOWMESG taro", Sid(a->number()), "tesra/euc", "to jiro: psst")));
}

TEST_F(LoopbackTest, SeededRollsAreTheSeededDice) {
    auto a = Member("taro", "#room");
    auto b = Member("jiro", "#room");
    Drain(*a);
    Drain(*b);
    SeededDice expected(kSeed);
    std::string dice;
    for (int i = 0; i < 3; ++i) {
        dice += std::to_string(expected.Roll(6)) + "\n";
    }
    a->Send(ToServer("ROLL 3 6 0 0", "m00100002000+002xattack"));
    const std::string show =
        ToClient("SHOW 3 6 taro 0 0", "m00100002000+002xattack", "tesra/result", dice);
    EXPECT_EQ(Raw(a->Next()), Bytes(show));
    EXPECT_EQ(Raw(b->Next()), Bytes(show));
}

TEST_F(LoopbackTest, RerollAndFakeRollAreShownToTheChannel) {
    auto a = Member("taro", "#room");
    Drain(*a);
    a->Send(
        ToServer("FAKEROLL 2 6 0 0 6 6 lucky", "m001000030000000xlucky", "tesra/result", "6\n6\n"));
    EXPECT_EQ(Raw(a->Next()), Bytes(ToClient("SHOW 2 6 taro 0 0", "m001000030000000xlucky",
                                             "tesra/result", "6\n6\n")));
    a->Send(ToServer("REROLL 1 6 0 0", "r1", "tesra/result", "6\n6\n"));
    const std::optional<ServerMessage> show = a->Next();
    ASSERT_TRUE(show.has_value());
    EXPECT_EQ(show->command, "SHOW 1 6 taro 0 128");
    EXPECT_TRUE(show->body.starts_with("6\n6\n0\n")) << show->body;
}

TEST_F(LoopbackTest, SecretDiceReachOnlyTheRollerAndTheMasters) {
    auto player = Member("taro", "#room");
    auto master = Member("gm", "#room");
    auto other = Member("jiro", "#room");
    master->Send(ToServer("MODE +m", "gm-m"));
    player->Send(ToServer("MODE -o", "taro-o"));
    EXPECT_EQ(Raw(AnswerTo(*player, "taro-o")), Bytes(ToClient("RESPONSE 000", "taro-o")));
    Drain(*player);
    Drain(*master);
    Drain(*other);

    player->Send(ToServer("ROLL 2 6 0 0", "secret-roll"));
    EXPECT_EQ(player->Next()->id, "secret-roll");
    EXPECT_EQ(master->Next()->id, "secret-roll");
    // What the roller says next reaches everyone; for jiro it is the first thing after the
    // drain, so the roll never reached jiro.
    player->Send(ToServer("SENDMESG *", "after", "tesra/euc", "done"));
    const std::optional<ServerMessage> next = other->Next();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->command, "SHOWMESG taro");
    EXPECT_EQ(next->body, "done");
}

TEST_F(LoopbackTest, EveryMembershipChangeSendsTheUserList) {
    auto watcher = Client();
    auto a = Client();
    const std::string address = "127.0.0.1:" + std::to_string(6000 + a->number());
    const auto expectList = [&](std::string_view users, const char* step) {
        const std::optional<ServerMessage> m = watcher->Next();
        ASSERT_TRUE(m.has_value()) << step;
        EXPECT_EQ(m->command, "PUTUSER") << step;
        EXPECT_EQ(Bytes(m->body), Bytes(std::string(users) + "No entry\n")) << step;
    };
    a->Send(ToServer("OPEN " + address + " taro"));
    expectList("taro NoJoin " + address + " 0\n", "OPEN");
    a->Send(ToServer("JOIN #room"));
    expectList("taro #room " + address + " 0\n", "JOIN");
    a->Send(ToServer("MODE +m"));
    expectList("taro #room " + address + " 1\n", "MODE +m");
    a->Send(ToServer("MODE -m"));
    expectList("taro #room " + address + " 0\n", "MODE -m");
    a->Send(ToServer("JOIN #hall"));
    expectList("taro #hall " + address + " 0\n", "JOIN again");
    a->Send(ToServer("CLOSE"));
    expectList("", "CLOSE");
    EXPECT_TRUE(a->WaitClosed());

    auto b = Client();
    b->Send(ToServer("OPEN 127.0.0.1:1 jiro"));
    expectList("jiro NoJoin 127.0.0.1:1 0\n", "OPEN b");
    b->Close();  // gone without CLOSE
    expectList("", "disconnect");
}

TEST_F(LoopbackTest, PipelinedRequestsAreAllAnsweredInOrder) {
    auto a = Client();
    const auto id = [](int i) { return std::string("g").append(std::to_string(i)); };
    std::string batch;
    for (int i = 0; i < 500; ++i) {
        batch += ToServer("GETUSER", id(i));
    }
    ASSERT_TRUE(a->Send(batch));
    for (int i = 0; i < 500; ++i) {
        const std::optional<ServerMessage> m = a->Next();
        ASSERT_TRUE(m.has_value()) << i;
        ASSERT_EQ(m->id, id(i));
    }
}

TEST_F(LoopbackTest, StopsCleanly) {
    auto a = Member("taro", "#room");
    EXPECT_EQ(relay_.Stop(), 0);
    EXPECT_TRUE(a->WaitClosed());
    EXPECT_EQ(relay_.log().Count("stopping"), 1u);
}

class CrLfTest : public LoopbackTest {
  protected:
    static RelayConfig Config() {
        RelayConfig c = QuietConfig();
        c.crlf = true;
        return c;
    }
    CrLfTest() : LoopbackTest(Config()) {}
};

TEST_F(CrLfTest, HeaderLinesEndInCrLf) {
    RelayTestClient a(relay_.port());
    EXPECT_EQ(Raw(a.Next()),
              Bytes("TesseraRELAY/0.1\r\ntoClient\r\nREADY 1\r\nID: s***001\r\n\r\n"));
    a.Send(ToServer("OPEN 1.2.3.4:5 taro", "o"));
    EXPECT_EQ(Raw(a.Next()),
              Bytes(ToClient("RESPONSE 100", "o", "tesra/euc", "OPEN taro", "\r\n")));
    EXPECT_EQ(Raw(a.Next()), Bytes(ToClient("PUTUSER", "s***001", "tesra/euc",
                                            "taro NoJoin 1.2.3.4:5 0\nNo entry\n", "\r\n")));
}

class MaxClientsTest : public LoopbackTest {
  protected:
    static RelayConfig Config() {
        RelayConfig c = QuietConfig();
        c.maxClients = 2;
        return c;
    }
    MaxClientsTest() : LoopbackTest(Config()) {}
};

TEST_F(MaxClientsTest, ConnectionsBeyondTheLimitAreClosed) {
    auto a = Client();
    auto b = Client();
    RelayTestClient c(relay_.port());
    EXPECT_TRUE(c.WaitClosed());
    EXPECT_TRUE(relay_.log().WaitFor("refused connection from 127.0.0.1:"));
    b->Close();
    ASSERT_TRUE(relay_.log().WaitFor("client 2 disconnected"));
    RelayTestClient d(relay_.port());
    EXPECT_EQ(d.Welcome(), 2);
}

class ProbeLoopbackTest : public LoopbackTest {
  protected:
    static RelayConfig Config() {
        RelayConfig c = QuietConfig();
        c.probeInterval = 20ms;
        c.probeTimeout = 1s;
        return c;
    }
    ProbeLoopbackTest() : LoopbackTest(Config()) {}
};

TEST_F(ProbeLoopbackTest, AClientThatAnswersStays) {
    RelayTestClient a(relay_.port());
    for (int i = 0; i < 5; ++i) {
        const std::optional<ServerMessage> ready = a.NextCommand("READY");
        ASSERT_TRUE(ready.has_value()) << i;
        EXPECT_EQ(Bytes(ready->raw), Bytes("TesseraRELAY/0.1\ntoClient\nREADY 1\nID: s***001\n\n"));
        ASSERT_TRUE(a.Answer(*ready));
    }
    EXPECT_EQ(relay_.log().Count("no answer"), 0u);
    a.Send(ToServer("GETUSER", "still-here"));
    EXPECT_EQ(a.NextCommand("PUTUSER")->id, "still-here");
}

TEST_F(ProbeLoopbackTest, AClientThatIgnoresProbesIsDropped) {
    auto watcher = std::make_unique<RelayTestClient>(relay_.port());
    RelayTestClient silent(relay_.port());
    ASSERT_EQ(silent.Welcome(), 2);
    silent.Send(ToServer("OPEN 1.2.3.4:5 sleepy"));
    // The watcher keeps answering its probes while it waits for the silent one to go.
    bool sawItGo = false;
    while (!sawItGo) {
        const std::optional<ServerMessage> m = watcher->Next();
        ASSERT_TRUE(m.has_value());
        if (m->command.starts_with("READY")) {
            watcher->Answer(*m);
        } else if (m->command == "PUTUSER" && m->body == "No entry\n") {
            sawItGo = true;
        }
    }
    EXPECT_TRUE(silent.WaitClosed());
    EXPECT_TRUE(relay_.log().WaitFor("client 2 disconnected: no answer to a probe"));
    EXPECT_EQ(relay_.log().Count("client 1 disconnected"), 0u);
}

}  // namespace
}  // namespace tessel::relay
