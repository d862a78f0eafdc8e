// SPDX-License-Identifier: MIT

// Relays in a group through a real redis-server: clients on different relays at one table,
// handles unique across the group, a relay that dies, Redis that goes away and comes back,
// and what others may publish on the group's channels.

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "RedisServer.h"
#include "RelayProcess.h"
#include "RelayTestClient.h"
#include "RelayWire.h"

namespace tessel::relay {
namespace {

using namespace std::chrono_literals;
using test::RedisServer;
using test::RelayProcess;
using test::RelayTestClient;
using test::RespClient;
using test::ServerMessage;
using test::ToServer;

constexpr auto kWait = test::kWait;
// Registrations of a relay that stops refreshing them are gone after this (the relay's
// option for tests; the default is 30 s).
constexpr std::string_view kExpiry = "1";

// Reads user lists until one is `body`.
bool SeesUsers(RelayTestClient& client, std::string_view body,
               std::chrono::milliseconds timeout = kWait) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const std::optional<ServerMessage> list = client.NextCommand("PUTUSER", left);
        if (list && list->body == body) {
            return true;
        }
    }
    return false;
}

class RelayGroup : public ::testing::Test {
  protected:
    void SetUp() override {
        // install-deps installs redis-server: its absence is a broken setup, not a reason
        // to skip.
        ASSERT_FALSE(test::RedisServerPath().empty()) << "redis-server is not installed";
        ASSERT_TRUE(redis_.Start()) << "redis-server did not start";
    }

    // A relay of the group, up and in the group.
    RelayProcess& StartRelay(const std::string& name) {
        relays_[name] = std::make_unique<RelayProcess>(std::vector<std::string>{
            "--listen", "127.0.0.1:0", "--seed", "7", "--redis", redis_.address(), "--relay-name",
            name, "--group-expiry", std::string(kExpiry)});
        RelayProcess& relay = *relays_[name];
        const std::optional<std::uint16_t> port = relay.Port(kWait);
        EXPECT_TRUE(port.has_value()) << relay.err();
        ports_[name] = port.value_or(0);
        EXPECT_TRUE(relay.WaitForError("joined the group", kWait)) << relay.err();
        return relay;
    }

    // A client of relay `name` with a handle, in channel `channel` when one is given.
    std::unique_ptr<RelayTestClient> Player(const std::string& name, const std::string& handle,
                                            const std::string& channel = "#table") {
        auto client = std::make_unique<RelayTestClient>(ports_[name]);
        EXPECT_TRUE(client->connected());
        client->Welcome();
        client->Send(ToServer("OPEN " + handle + "-addr " + handle, "o1"));
        const std::optional<ServerMessage> opened = client->NextCommand("RESPONSE");
        EXPECT_TRUE(opened && opened->command == "RESPONSE 100") << handle;
        if (!channel.empty()) {
            client->Send(ToServer("JOIN " + channel, "j1"));
            const std::optional<ServerMessage> joined = client->NextCommand("RESPONSE");
            EXPECT_TRUE(joined && joined->command == "RESPONSE 100") << handle;
        }
        return client;
    }

    // The answer a new client of relay `name` gets to OPEN with `handle`; asked again for
    // a while when it is not `hoped` (news of a handle given back takes a moment).
    std::string OpenAnswer(const std::string& name, const std::string& handle,
                           std::string_view hoped = {}) {
        std::string answer = OpenOnce(name, handle);
        for (int i = 0; i < 60 && !hoped.empty() && answer != hoped; ++i) {
            std::this_thread::sleep_for(50ms);
            answer = OpenOnce(name, handle);
        }
        return answer;
    }
    std::string OpenOnce(const std::string& name, const std::string& handle) {
        RelayTestClient client(ports_[name]);
        client.Welcome();
        client.Send(ToServer("OPEN a " + handle, "o9"));
        const std::optional<ServerMessage> answer = client.NextCommand("RESPONSE");
        return answer ? answer->command : "nothing";
    }

    RedisServer redis_;
    std::map<std::string, std::unique_ptr<RelayProcess>> relays_;
    std::map<std::string, std::uint16_t> ports_;
};

constexpr std::string_view kTable =
    "alice #table alice-addr 1\nbob #table bob-addr 0\ncarol #table carol-addr 0\nNo entry\n";

// Everything a client was shown (SHOW and SHOWMESG), until `count` of them or a quiet moment.
// With `settle`, then also whatever comes in a quiet moment after them.
std::vector<ServerMessage> Shown(RelayTestClient& client, std::size_t count, bool settle = true) {
    std::vector<ServerMessage> shown;
    while (settle || shown.size() < count) {
        const std::optional<ServerMessage> m =
            client.Next(shown.size() < count ? kWait : std::chrono::milliseconds(300));
        if (!m) {
            return shown;
        }
        if (m->command.starts_with("SHOW")) {
            shown.push_back(*m);
        }
    }
    return shown;
}

TEST_F(RelayGroup, PlayersOnThreeRelaysPlayAtOneTable) {
    StartRelay("r1");
    StartRelay("r2");
    StartRelay("r3");
    std::map<std::string, std::unique_ptr<RelayTestClient>> players;
    players["alice"] = Player("r1", "alice");
    players["bob"] = Player("r2", "bob");
    players["carol"] = Player("r3", "carol");
    players["alice"]->Send(ToServer("MODE +m", "m1"));
    players["carol"]->Send(ToServer("MODE -o", "m2"));  // carol's dice are secret
    for (auto& [handle, client] : players) {
        ASSERT_TRUE(SeesUsers(*client, kTable)) << handle << " never saw one user list";
        client->Send(ToServer("LIST", "l1"));
        const std::optional<ServerMessage> channels = client->NextCommand("PUTCHANNEL");
        ASSERT_TRUE(channels.has_value());
        EXPECT_EQ(channels->body, "#table 3\n") << handle;
    }

    struct Case {
        std::string from;
        std::string request;
        std::set<std::string> to;
        std::string command;
        std::string body;  // empty: rolled dice, the same for everyone
    };
    const std::vector<Case> cases = {
        {"bob",
         ToServer("SENDMESG *", "c1", "tesra/euc", "hello table\n"),
         {"alice", "bob", "carol"},
         "SHOWMESG bob",
         "hello table\n"},
        {"alice",
         ToServer("ROLL 2 6 0 0", "r1"),
         {"alice", "bob", "carol"},
         "SHOW 2 6 alice 0 0",
         ""},
        {"carol", ToServer("ROLL 3 10 0 0", "r2"), {"alice", "carol"}, "SHOW 3 10 carol 0 0", ""},
        {"bob",
         ToServer("REROLL 1 6 0 0", "r3", "tesra/result", "4\n"),
         {"alice", "bob", "carol"},
         "SHOW 1 6 bob 0 128",
         ""},
        {"alice",
         ToServer("FAKEROLL 2 6 0 0", "r4", "tesra/result", "6\n6\n"),
         {"alice", "bob", "carol"},
         "SHOW 2 6 alice 0 0",
         "6\n6\n"},
        {"carol",
         ToServer("SENDMESG alice", "p1", "tesra/euc", "psst\n"),
         {"alice", "carol"},
         "SHOWMESG carol",
         "psst\n"},
        {"carol",
         ToServer("SENDMESG *", "f1", "tesra/binary", std::string("CC FILESEND a\0\xff", 15)),
         {"alice", "bob", "carol"},
         "SHOWMESG carol",
         std::string("CC FILESEND a\0\xff", 15)},
        {"bob",
         ToServer("SENDMESG *", "s1", "tesra/binary", "CC SOUNDPLAY fanfare.wav"),
         {"alice", "bob", "carol"},
         "SHOWMESG bob",
         "CC SOUNDPLAY fanfare.wav"},
    };
    // One at a time: lines of different senders may cross on the way, one sender's never do.
    std::map<std::string, std::string> dice;  // each roll's dice as its first recipient saw them
    for (const Case& c : cases) {
        ASSERT_TRUE(players[c.from]->Send(c.request));
        for (const std::string& to : c.to) {
            const std::vector<ServerMessage> shown = Shown(*players[to], 1, false);
            ASSERT_EQ(shown.size(), 1u) << to << " did not get " << c.command;
            EXPECT_EQ(shown[0].command, c.command) << to;
            if (!c.body.empty()) {
                EXPECT_EQ(shown[0].body, c.body) << to << ": " << c.command;
            } else if (const auto [at, fresh] = dice.emplace(c.command, shown[0].body); !fresh) {
                EXPECT_EQ(shown[0].body, at->second) << to << ": " << c.command;
            }
        }
    }
    // Nobody got anything meant for others (a secret roll, a private message).
    for (auto& [handle, client] : players) {
        EXPECT_TRUE(Shown(*client, 0).empty()) << handle;
    }
    EXPECT_TRUE(dice["SHOW 1 6 bob 0 128"].starts_with("4\n0\n"));
}

TEST_F(RelayGroup, OneSendersLinesArriveInOrderOnEveryRelay) {
    RelayProcess& one = StartRelay("r1");
    RelayProcess& two = StartRelay("r2");
    auto sender = Player("r1", "talker");
    auto far = Player("r2", "listener");
    ASSERT_TRUE(SeesUsers(*far,
                          "talker #table talker-addr 0\nlistener #table listener-addr 0\n"
                          "No entry\n"))
        << one.err() << two.err();
    constexpr int kLines = 200;
    std::string burst;
    for (int i = 0; i < kLines; ++i) {
        burst += ToServer("SENDMESG *", "c", "tesra/euc", "line " + std::to_string(i) + "\n");
    }
    ASSERT_TRUE(sender->Send(burst));
    const std::vector<ServerMessage> shown = Shown(*far, kLines);
    ASSERT_EQ(shown.size(), static_cast<std::size_t>(kLines)) << one.err() << two.err();
    for (int i = 0; i < kLines; ++i) {
        EXPECT_EQ(shown[i].body, "line " + std::to_string(i) + "\n");
    }
}

TEST_F(RelayGroup, AHandleIsUniqueAcrossTheGroupAndFreedWhenItsClientLeaves) {
    StartRelay("r1");
    StartRelay("r2");
    auto holder = Player("r1", "dup", "");
    EXPECT_EQ(OpenAnswer("r2", "dup"), "RESPONSE 202");
    EXPECT_EQ(OpenAnswer("r1", "dup"), "RESPONSE 202");
    holder->Send(ToServer("CLOSE", "c"));
    ASSERT_TRUE(holder->WaitClosed());
    EXPECT_EQ(OpenAnswer("r2", "dup", "RESPONSE 100"), "RESPONSE 100");
}

TEST_F(RelayGroup, AKilledRelaysUsersLeaveTheOthersListsWithinTheExpiry) {
    StartRelay("r1");
    RelayProcess& doomed = StartRelay("r2");
    auto stays = Player("r1", "stays");
    auto goes = Player("r2", "goes");
    ASSERT_TRUE(
        SeesUsers(*stays, "stays #table stays-addr 0\ngoes #table goes-addr 0\nNo entry\n"));
    const auto killed = std::chrono::steady_clock::now();
    doomed.Signal(SIGKILL);
    ASSERT_TRUE(SeesUsers(*stays, "stays #table stays-addr 0\nNo entry\n"));
    // The expiry is 1 s; allow for a slow (sanitizer) build, not for a minute.
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 5s);
    // Its handle is free again.
    EXPECT_EQ(OpenAnswer("r1", "goes", "RESPONSE 100"), "RESPONSE 100");
}

TEST_F(RelayGroup, WithoutRedisTheRelayServesItsOwnClientsAndRejoinsWhenRedisIsBack) {
    RelayProcess& one = StartRelay("r1");
    StartRelay("r2");
    auto near1 = Player("r1", "near1");
    auto near2 = Player("r1", "near2");
    auto far = Player("r2", "far");
    const std::string everyone =
        "near1 #table near1-addr 0\nnear2 #table near2-addr 0\nfar #table far-addr 0\nNo entry\n";
    ASSERT_TRUE(SeesUsers(*near1, everyone));
    ASSERT_TRUE(SeesUsers(*far, everyone));

    redis_.Stop();
    ASSERT_TRUE(one.WaitForError("lost Redis", kWait)) << one.err();
    near1->Send(ToServer("SENDMESG *", "c", "tesra/euc", "still here\n"));
    const std::optional<ServerMessage> local = near2->NextCommand("SHOWMESG");
    ASSERT_TRUE(local.has_value());
    EXPECT_EQ(local->body, "still here\n");

    ASSERT_TRUE(redis_.Start());
    ASSERT_TRUE(one.WaitForError("back in the group", kWait)) << one.err();
    ASSERT_TRUE(SeesUsers(*far, everyone));
    // Cross-relay traffic flows again, both ways; the handles are registered again.
    near1->Send(ToServer("SENDMESG *", "c", "tesra/euc", "across again\n"));
    std::optional<ServerMessage> across = far->NextCommand("SHOWMESG");
    ASSERT_TRUE(across.has_value());
    EXPECT_EQ(across->body, "across again\n");
    far->Send(ToServer("SENDMESG near2", "c", "tesra/euc", "back\n"));
    across = near2->NextCommand("SHOWMESG far");
    ASSERT_TRUE(across.has_value());
    EXPECT_EQ(across->body, "back\n");
    EXPECT_EQ(OpenAnswer("r2", "near1"), "RESPONSE 202");
}

TEST_F(RelayGroup, AStalledRedisDoesNotHoldUpTheRelay) {
    RelayProcess& one = StartRelay("r1");
    auto a = Player("r1", "a");
    auto b = Player("r1", "b");
    redis_.Pause();
    // Chat keeps flowing here while Redis takes nothing; the relay gives up on Redis after
    // the expiry (1 s here) and keeps serving.
    for (int i = 0; i < 30; ++i) {
        a->Send(ToServer("SENDMESG *", "c", "tesra/euc", "line " + std::to_string(i) + "\n"));
        const std::optional<ServerMessage> line = b->NextCommand("SHOWMESG", 2s);
        ASSERT_TRUE(line.has_value()) << i;
        EXPECT_EQ(line->body, "line " + std::to_string(i) + "\n");
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(one.WaitForError("lost Redis", kWait)) << one.err();
    EXPECT_NE(one.err().find("no answer for 1000 ms"), std::string::npos) << one.err();
    redis_.Resume();
    EXPECT_TRUE(one.WaitForError("back in the group", kWait)) << one.err();
}

TEST_F(RelayGroup, WhatWaitsForAStalledRedisIsBounded) {
    // A longer expiry than the other tests': the relay must still be waiting on Redis while
    // the flood goes by.
    relays_["r1"] = std::make_unique<RelayProcess>(
        std::vector<std::string>{"--listen", "127.0.0.1:0", "--redis", redis_.address(),
                                 "--relay-name", "r1", "--group-expiry", "5"});
    RelayProcess& relay = *relays_["r1"];
    ports_["r1"] = relay.Port(kWait).value_or(0);
    ASSERT_TRUE(relay.WaitForError("joined the group", kWait));
    auto talker = Player("r1", "talker");
    auto reader = Player("r1", "reader");
    redis_.Pause();
    // 12 MiB of chat for the other relays, past the 8 MiB that may wait for Redis.
    constexpr int kLines = 3000;
    const std::string line = ToServer("SENDMESG *", "c", "tesra/euc", std::string(4000, 'x'));
    int read = 0;
    for (int i = 0; i < kLines; ++i) {
        ASSERT_TRUE(talker->Send(line));
        if (i % 100 == 99) {  // both read, the sender gets its own lines too
            read += static_cast<int>(Shown(*reader, 100, false).size());
            Shown(*talker, 100, false);
        }
    }
    EXPECT_EQ(read, kLines);  // the relay's own clients got every line meanwhile
    EXPECT_TRUE(relay.WaitForError("messages to other relays dropped", kWait)) << relay.err();
    redis_.Resume();
    // Redis works the backlog off and the group goes on.
    StartRelay("r2");
    auto late = Player("r2", "late");
    EXPECT_TRUE(SeesUsers(*late,
                          "talker #table talker-addr 0\nreader #table reader-addr 0\n"
                          "late #table late-addr 0\nNo entry\n"))
        << relay.err();
}

TEST_F(RelayGroup, AHandleTakenTwiceWhileRedisWasAwayStaysWithTheFirstToRegisterAgain) {
    RelayProcess& one = StartRelay("r1");
    RelayProcess& two = StartRelay("r2");
    redis_.Stop();
    ASSERT_TRUE(one.WaitForError("lost Redis", kWait));
    ASSERT_TRUE(two.WaitForError("lost Redis", kWait));
    // Neither relay can ask the group: each takes the handle for its own client.
    auto first = Player("r1", "twin", "");
    auto second = Player("r2", "twin", "");
    ASSERT_TRUE(redis_.Start());
    ASSERT_TRUE(one.WaitForError("back in the group", kWait));
    ASSERT_TRUE(two.WaitForError("back in the group", kWait));
    // Exactly one of them is let go, and the group lists the other.
    const bool firstLost = first->WaitClosed(3s);
    const bool secondLost = second->WaitClosed(firstLost ? 500ms : kWait);
    EXPECT_NE(firstLost, secondLost);
    RelayProcess& loser = firstLost ? one : two;
    EXPECT_TRUE(loser.WaitForError("belongs to a client of another relay", kWait));
    EXPECT_EQ(OpenAnswer(firstLost ? "r1" : "r2", "twin"), "RESPONSE 202");
}

TEST_F(RelayGroup, HostileMessagesOnTheGroupsChannelsAreIgnoredAndLogged) {
    RelayProcess& relay = StartRelay("r1");
    auto player = Player("r1", "victim");
    auto other = Player("r1", "witness");
    RespClient attacker(redis_.port());
    ASSERT_TRUE(attacker.connected());
    const std::vector<std::pair<std::string, std::string>> hostile = {
        {"tessel:group", "garbage"},
        {"tessel:group", std::string("tessel1 state evil\nx\x01 #table a 0\n")},
        {"tessel:group", "tessel1 state evil\nbad-channel-user nochan a 0\n"},
        {"tessel:chan:{#table}", "tessel1 say evil\n#table\nmallory\n4\n" + std::string(5000, 'x')},
        {"tessel:chan:{#table}", std::string("tessel1 say evil\n#table\nmal\x1b[2J\n4\nhi")},
        {"tessel:chan:{#table}", "tessel1 show evil\n#table\nmallory\n300 6 0 0 0\nid\n1\n"},
        {"tessel:chan:{#table}", "tessel1 show evil\n#table\nmallory\n1 6 0 0 0\ns***001\n1\n"},
        {"tessel:chan:{#table}", "tessel1 show evil\n#table\nmallory\n1 6 0 0 0\nid\nsix\n"},
        // Well formed, but for another channel than the one it came on.
        {"tessel:chan:{#table}", "tessel1 say evil\n#elsewhere\nmallory\n4\nhi"},
        {"tessel:relay:r1", "tessel1 say evil\n#table\nmallory\n4\nhi"},
        {"tessel:group", "tessel1 tell evil\nvictim\nmallory\n4\nhi"},
        {"tessel:relay:r1", "tessel1 tell evil\nvictim\nmallory\n4"},
    };
    for (const auto& [channel, payload] : hostile) {
        const std::optional<std::string> reply = attacker.Command({"PUBLISH", channel, payload});
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(*reply, ":1") << "the relay does not hear " << channel;
    }
    // The relay is still serving, and nothing of the above reached a client.
    player->Send(ToServer("SENDMESG *", "c", "tesra/euc", "after\n"));
    const std::vector<ServerMessage> shown = Shown(*other, 1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].body, "after\n");
    player->Send(ToServer("GETUSER", "g"));
    std::optional<ServerMessage> users = player->NextCommand("PUTUSER");
    while (users && users->id != "g") {  // lists broadcast as the players came
        users = player->NextCommand("PUTUSER");
    }
    ASSERT_TRUE(users.has_value());
    EXPECT_EQ(users->body,
              "victim #table victim-addr 0\nwitness #table witness-addr 0\nNo entry\n");
    int ignored = 0;
    for (std::size_t at = 0; (at = relay.err().find("ignored a message", at)) != std::string::npos;
         ++at) {
        ++ignored;
    }
    EXPECT_EQ(ignored, static_cast<int>(hostile.size()));
}

// What redis-cli prints for `args` against the node at `port`.
std::string RedisCli(std::uint16_t port, std::vector<std::string> args) {
    std::vector<std::string> argv = {"/usr/bin/redis-cli", "-p", std::to_string(port)};
    argv.insert(argv.end(), args.begin(), args.end());
    tessel::test::ChildProcess cli(argv);
    cli.Wait(kWait);
    return cli.output();
}

TEST(RelayGroupCluster, RelaysOnDifferentNodesOfARedisClusterFormOneGroup) {
    std::vector<std::unique_ptr<RedisServer>> nodes;
    std::vector<std::string> create = {"--cluster", "create"};
    for (int i = 0; i < 3; ++i) {
        nodes.push_back(std::make_unique<RedisServer>(std::vector<std::string>{
            "--cluster-enabled", "yes", "--cluster-config-file", "nodes.conf",
            "--cluster-node-timeout", "2000",
            // Its bus would be the port + 10000, past 65535 for a high free port.
            "--cluster-port", std::to_string(test::FreeLoopbackPort())}));
        ASSERT_TRUE(nodes.back()->Start());
        create.push_back(nodes.back()->address());
    }
    create.insert(create.end(), {"--cluster-replicas", "0", "--cluster-yes"});
    RedisCli(nodes.front()->port(), create);
    for (const auto& node : nodes) {
        std::string info;
        for (int i = 0; i < 100 && info.find("cluster_state:ok") == std::string::npos; ++i) {
            std::this_thread::sleep_for(50ms);
            info = RedisCli(node->port(), {"cluster", "info"});
        }
        ASSERT_NE(info.find("cluster_state:ok"), std::string::npos) << info;
    }
    // Each relay is pointed at another node; the two that do not hold the group's keys are
    // sent on to the one that does.
    std::vector<std::unique_ptr<RelayProcess>> relays;
    std::vector<std::unique_ptr<RelayTestClient>> players;
    for (int i = 0; i < 3; ++i) {
        relays.push_back(std::make_unique<RelayProcess>(std::vector<std::string>{
            "--listen", "127.0.0.1:0", "--redis", nodes[i]->address(), "--relay-name",
            "c" + std::to_string(i), "--group-expiry", std::string(kExpiry)}));
        const std::optional<std::uint16_t> port = relays.back()->Port(kWait);
        ASSERT_TRUE(port.has_value()) << relays.back()->err();
        ASSERT_TRUE(relays.back()->WaitForError("joined the group", kWait)) << relays.back()->err();
        players.push_back(std::make_unique<RelayTestClient>(*port));
        RelayTestClient& p = *players.back();
        p.Welcome();
        p.Send(ToServer("OPEN a p" + std::to_string(i), "o"));
        ASSERT_EQ(p.NextCommand("RESPONSE")->command, "RESPONSE 100");
        p.Send(ToServer("JOIN #c", "j"));
        ASSERT_EQ(p.NextCommand("RESPONSE")->command, "RESPONSE 100");
    }
    for (auto& p : players) {
        ASSERT_TRUE(SeesUsers(*p, "p0 #c a 0\np1 #c a 0\np2 #c a 0\nNo entry\n"));
    }
    players[2]->Send(ToServer("SENDMESG *", "c", "tesra/euc", "over the cluster\n"));
    for (auto& p : players) {
        const std::optional<ServerMessage> line = p->NextCommand("SHOWMESG");
        ASSERT_TRUE(line.has_value());
        EXPECT_EQ(line->body, "over the cluster\n");
    }
    int redirected = 0;
    for (int i = 0; i < 3; ++i) {
        if (relays[i]->err().find("joined the group at " + nodes[i]->address()) ==
            std::string::npos) {
            ++redirected;
        }
    }
    EXPECT_EQ(redirected, 2);  // one slot, one node holds it
    RelayTestClient twin(relays[1]->Port(kWait).value_or(0));
    twin.Welcome();
    twin.Send(ToServer("OPEN a p0", "o"));
    EXPECT_EQ(twin.NextCommand("RESPONSE")->command, "RESPONSE 202");
}

TEST(RelayGroupStart, UnreachableRedisIsAClearFailure) {
    const std::uint16_t nobody = test::FreeLoopbackPort();
    RelayProcess relay(
        {"--listen", "127.0.0.1:0", "--redis", "127.0.0.1:" + std::to_string(nobody)});
    EXPECT_EQ(relay.WaitExit(kWait), 3);
    EXPECT_TRUE(relay.err().starts_with(
        "tessel-relay: cannot reach Redis at 127.0.0.1:" + std::to_string(nobody) + ": "))
        << relay.err();
}

TEST_F(RelayGroup, ASecondRelayOfTheSameNameIsRefused) {
    StartRelay("twin");
    RelayProcess again(
        {"--listen", "127.0.0.1:0", "--redis", redis_.address(), "--relay-name", "twin"});
    EXPECT_EQ(again.WaitExit(kWait), 3);
    EXPECT_NE(again.err().find("a relay named 'twin' is already in the group"), std::string::npos)
        << again.err();
}

}  // namespace
}  // namespace tessel::relay
