// SPDX-License-Identifier: MIT

// The relay under floods: user lists that pile up for a client that is behind, and a client
// that makes the relay send far more than it sends itself.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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
using test::ToServer;

RelayConfig Config() {
    RelayConfig config;
    config.seed = 7;
    config.probeInterval = 3600s;
    config.probeTimeout = 3600s;
    config.maxClients = 999;
    return config;
}

class RelayLoadTest : public ::testing::Test {
  protected:
    RelayLoadTest() : relay_(Config()) {}
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

    InProcessRelay relay_;
};

TEST_F(RelayLoadTest, ClientsThatAreBehindInAUserListStormStayAndEndWithTheLatestList) {
    // Long names make each list about 1.5 KB; every change sends it to everyone.
    constexpr int kIdle = 10;
    constexpr int kChanges = 6000;
    std::vector<std::unique_ptr<RelayTestClient>> idle;
    for (int i = 0; i < kIdle; ++i) {
        auto c = std::make_unique<RelayTestClient>(relay_.port(), 4096);
        ASSERT_GT(c->Welcome(), 0);
        const std::string id = "o" + std::to_string(i);
        c->Send(ToServer("OPEN 127.0.0.1:" + std::string(50, 'p') + " " + std::string(60, 'h') +
                             std::to_string(100 + i),
                         id) +
                ToServer("JOIN #" + std::string(60, 'r'), "j" + id));
        ASSERT_TRUE(AnswerTo(*c, "j" + id).has_value());
        idle.push_back(std::move(c));
    }
    auto flipper = Member("flipper");
    // Far more than the kernel and the old per-client queue limit hold together, none of it
    // read by the idle clients meanwhile.
    std::thread flips([&] {
        for (int i = 0; i < kChanges; ++i) {
            ASSERT_TRUE(flipper->Send(ToServer(i % 2 == 0 ? "MODE +m" : "MODE -m")));
        }
        ASSERT_TRUE(flipper->Send(ToServer("GETUSER", "done")));
    });
    const std::optional<ServerMessage> final = AnswerTo(*flipper, "done");
    flips.join();
    ASSERT_TRUE(final.has_value());
    ASSERT_NE(final->body.find("flipper #room 127.0.0.1:1 0\n"), std::string::npos);

    for (auto& c : idle) {
        c->Send(ToServer("GETUSER", "now"));
        std::optional<ServerMessage> last;
        int lists = 0;
        while (true) {
            std::optional<ServerMessage> m = c->Next();
            ASSERT_TRUE(m.has_value()) << "client " << c->number() << " was dropped";
            if (m->id == "now") {
                break;
            }
            if (m->command == "PUTUSER") {
                last = m;
                ++lists;
            }
        }
        ASSERT_TRUE(last.has_value());
        EXPECT_EQ(Bytes(last->body), Bytes(final->body));
        EXPECT_LT(lists, kChanges);
    }
    EXPECT_EQ(relay_.log().Count("disconnected"), 0u);
}

TEST_F(RelayLoadTest, AClientMultiplyingItsRequestsCannotGetASlowReaderDropped) {
    auto reader = Member("reader", 4096);
    auto abuser = Member("abuser");
    constexpr int kRolls = 2500;
    // Its own copies are read as fast as they come: it is abusive, not dead.
    std::atomic<int> ownShows = 0;
    std::thread abuserReader([&] {
        while (ownShows < kRolls) {
            std::optional<ServerMessage> m = abuser->Next();
            if (!m) {
                return;
            }
            ownShows += m->command.starts_with("SHOW ") ? 1 : 0;
        }
    });
    std::thread flood([&] {
        for (int i = 0; i < kRolls; ++i) {
            // 255 dice rolled again while any shows 255: bodies of kilobytes for 40 bytes sent.
            if (!abuser->Send(ToServer("MODE +m") +
                              ToServer("ROLL 255 255 1 0", "r" + std::to_string(i)) +
                              ToServer("MODE -m"))) {
                return;
            }
        }
    });
    int shows = 0;
    std::optional<ServerMessage> lastList;
    while (shows < kRolls) {
        std::optional<ServerMessage> m = reader->Next();
        ASSERT_TRUE(m.has_value()) << "the reader lost its connection after " << shows << " rolls";
        if (m->command.starts_with("SHOW ")) {
            ASSERT_EQ(m->id, "r" + std::to_string(shows));
            ++shows;
        } else if (m->command == "PUTUSER") {
            lastList = m;
        }
        std::this_thread::sleep_for(200us);  // a slow reader
    }
    flood.join();
    abuserReader.join();
    EXPECT_EQ(ownShows, kRolls);
    // The last change of all reaches it too.
    while (!lastList || lastList->body.find("abuser #room 127.0.0.1:1 0\n") == std::string::npos) {
        std::optional<ServerMessage> m = reader->NextCommand("PUTUSER");
        ASSERT_TRUE(m.has_value());
        lastList = m;
    }
    EXPECT_EQ(relay_.log().Count("client " + std::to_string(reader->number()) + " disconnected"),
              0u);
}

}  // namespace
}  // namespace tessel::relay
