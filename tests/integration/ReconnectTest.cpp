// SPDX-License-Identifier: MIT

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "client/ClientCore.h"
#include "connection/ConnectionTexts.h"
#include "protocol/TextFormat.h"
#include "session/SessionTexts.h"
#include "support/ChildProcess.h"
#include "support/FrontEndRecorder.h"
#include "support/ProtocolFixture.h"
#include "support/RelayPort.h"
#include "support/TempDirectory.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;

// The fixed start of a display text with values ("%s" and after cut off).
std::string_view Stem(std::string_view pattern) {
    return pattern.substr(0, pattern.find('%'));
}

// A client core riding out restarts of a real tessel-relay on one loopback port, driven as a
// front end drives it: its connection-up sequence runs when the connection says it is up.
class Reconnect : public test::ProtocolStateTest {
  protected:
    void SetUp() override {
        ProtocolStateTest::SetUp();
        ResetConnectionState();
        StartRelay("0");
    }

    void TearDown() override {
        core.reset();
        ResetConnectionState();
        ProtocolStateTest::TearDown();
    }

    void StartRelay(const std::string& listenPort) {
        relay = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{TESSEL_RELAY_BINARY, "--listen", "127.0.0.1:" + listenPort},
            relayDir.path());
        port = test::ListeningPort(*relay);
        ASSERT_FALSE(port.empty()) << relay->error();
    }

    void StartCore(bool reconnect, ReconnectDelays delays) {
        if (reconnect) {
            coreDir.Write("tessel.ini", "[Options]\r\nautoreconnect=1\r\n");
        }
        std::optional<Settings> settings = Settings::Open(coreDir.path());
        ASSERT_TRUE(settings);
        ClientCore::Options options;
        options.reconnectDelays = delays;
        core = std::make_unique<ClientCore>(*settings, frontEnd, std::move(options));
        core->Connect("127.0.0.1", std::stoi(port), "saburo", "main");
        ASSERT_TRUE(Pump([&] { return Count(" JOIN #main\r\n") == 1; }));
    }

    std::unique_ptr<test::ChildProcess> StartTerm(const std::string& handle) {
        return std::make_unique<test::ChildProcess>(
            std::vector<std::string>{TESSEL_TERM_BINARY, "--host", "127.0.0.1", "--port", port,
                                     "--handle", handle, "--channel", "main"},
            termDir.path());
    }

    // Plays the front end until `done` holds or `limit` passes: runs the connection-up sequence
    // for every connection that came up and collects what the display pane would show.
    bool Pump(const std::function<bool()>& done, std::chrono::milliseconds limit = 15s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        for (;;) {
            while (handledConnects < frontEnd.count("HostConnected")) {
                ++handledConnects;
                core->HostConnected();
            }
            while (auto item = core->Display().TakeDisplayItem()) {
                shown.push_back(item->text);
            }
            if (done()) {
                return true;
            }
            if (std::chrono::steady_clock::now() >= end) {
                return false;
            }
            std::this_thread::sleep_for(5ms);
        }
    }

    int Count(std::string_view text) const {
        int n = 0;
        for (const std::string& line : shown) {
            n += line == text ? 1 : 0;
        }
        return n;
    }
    int CountStem(std::string_view pattern) const {
        int n = 0;
        for (const std::string& line : shown) {
            n += line.starts_with(Stem(pattern)) ? 1 : 0;
        }
        return n;
    }
    std::string Shown() const {
        std::string all;
        for (const std::string& line : shown) {
            all += line;
        }
        return all;
    }

    test::TempDirectory relayDir, coreDir, termDir;
    std::unique_ptr<test::ChildProcess> relay;
    std::string port;
    test::FrontEndRecorder frontEnd;
    std::unique_ptr<ClientCore> core;
    int handledConnects = 0;
    std::vector<std::string> shown;
};

TEST_F(Reconnect, HandleAndChannelComeBackAfterTheRelayRestarts) {
    StartCore(true, {50ms, 400ms});
    const std::string samePort = port;
    relay.reset();  // killed: the connection drops without the user asking
    ASSERT_TRUE(Pump([&] { return Count(std::string(texts::kLineDropped)) == 1; }));
    // While the relay is away the attempts fail, each shown, each followed by the next plan.
    ASSERT_TRUE(Pump([&] { return CountStem(texts::kReconnectAttempt) >= 2; })) << Shown();
    EXPECT_GE(CountStem(texts::kReconnectScheduled), 2);
    EXPECT_GE(Count(std::string(texts::kConnectFailed)), 1);
    // A line typed meanwhile is refused as ever: not kept for later.
    core->SendTypedLine("typed while away");

    StartRelay(samePort);
    ASSERT_EQ(port, samePort);
    ASSERT_TRUE(Pump([&] { return Count(" JOIN #main\r\n") == 2; })) << Shown();
    EXPECT_EQ(Count(" OPEN saburo\r\n"), 2);
    EXPECT_EQ(Count(std::string(texts::kReconnected)), 1);
    EXPECT_EQ(ClientCore::Handle(), "saburo");
    EXPECT_EQ(ClientCore::Channel(), "#main");

    // Back in the channel: a player there hears saburo, and saburo hears the player.
    const auto taro = StartTerm("taro");
    ASSERT_TRUE(taro->WaitForOutput(" JOIN #main\n")) << taro->output() << taro->error();
    ASSERT_TRUE(core->SendTypedLine("back again"));
    ASSERT_TRUE(taro->WaitForOutput("saburo: back again\n")) << taro->output();
    taro->Write("welcome back\n");
    ASSERT_TRUE(Pump([&] { return Count("welcome back") == 1; })) << Shown();
    EXPECT_EQ(taro->output().find("typed while away"), std::string::npos);
    EXPECT_EQ(Count(std::string(texts::kReconnectStopped)), 0);
}

TEST_F(Reconnect, ATakenHandleIsToldOnceAndNotRetried) {
    // Long enough a wait for another player to take the handle before the attempt.
    StartCore(true, {2500ms, 2500ms});
    const std::string samePort = port;
    relay.reset();
    ASSERT_TRUE(Pump([&] { return CountStem(texts::kReconnectScheduled) == 1; }));
    StartRelay(samePort);
    const auto thief = StartTerm("saburo");
    ASSERT_TRUE(thief->WaitForOutput(" JOIN #main\n")) << thief->output();
    ASSERT_EQ(CountStem(texts::kReconnectAttempt), 0) << "the attempt came before the thief";

    const std::string taken = FillText(texts::kReconnectHandleTaken, {"saburo"});
    ASSERT_TRUE(Pump([&] { return Count(taken) == 1; })) << Shown();
    EXPECT_EQ(Count(std::string(texts::kError202)), 1);
    // Longer than any planned wait: nothing more is tried, the connection stays up.
    EXPECT_FALSE(Pump([&] { return CountStem(texts::kReconnectAttempt) > 1; }, 3500ms));
    EXPECT_EQ(Count(taken), 1);
    EXPECT_EQ(CountStem(texts::kReconnectScheduled), 1);
    EXPECT_TRUE(IsConnected());
    EXPECT_EQ(ClientCore::Handle(), "");
}

// What the user does while a reconnect waits, and the option left at its default.
struct StopCase {
    const char* name;
    bool reconnect;
    std::function<void(ClientCore&)> act;  // none: nothing
    bool stoppedLine;
};

class ReconnectStops : public Reconnect, public ::testing::WithParamInterface<StopCase> {};

TEST_P(ReconnectStops, NothingIsTriedAfterwards) {
    const StopCase& c = GetParam();
    StartCore(c.reconnect, {300ms, 300ms});
    const std::string samePort = port;
    relay.reset();
    ASSERT_TRUE(Pump([&] { return Count(std::string(texts::kLineDropped)) == 1; }));
    if (c.reconnect) {
        ASSERT_TRUE(Pump([&] { return CountStem(texts::kReconnectScheduled) == 1; }));
    }
    if (c.act) {
        c.act(*core);
    }
    if (c.stoppedLine) {
        ASSERT_TRUE(Pump([&] { return Count(std::string(texts::kReconnectStopped)) == 1; }))
            << Shown();
    }
    const int attempts = CountStem(texts::kReconnectAttempt);
    StartRelay(samePort);
    EXPECT_FALSE(Pump([&] { return CountStem(texts::kReconnectAttempt) > attempts; }, 1500ms))
        << Shown();
    EXPECT_FALSE(IsConnected());
    EXPECT_EQ(Count(" OPEN saburo\r\n"), 1);
    EXPECT_EQ(CountStem(texts::kReconnectScheduled), c.reconnect ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReconnectStops,
    ::testing::Values(
        StopCase{"OffByDefault", false, nullptr, false},
        StopCase{"Disconnect", true, [](ClientCore& core) { core.Disconnect(); }, true},
        StopCase{"TypedClose", true, [](ClientCore& core) { core.SendTypedLine("CLOSE"); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessel
