// SPDX-License-Identifier: MIT

#include <gtest/gtest.h>

#include <thread>

#include "integration/HostileWorld.h"
#include "term/TermCodec.h"

namespace tessel::test {
namespace {

using namespace std::chrono_literals;

// The tessel-term helper: the client as a user runs it, with its working directory as
// HostileWorld lays it out, its output as the user sees it (UTF-8).
class HostileTerm : public ::testing::TestWithParam<HostileCase> {
  protected:
    void StartTerm(int serverPort) {
        term = std::make_unique<ChildProcess>(
            std::vector<std::string>{TESSEL_TERM_BINARY, "--host", "127.0.0.1", "--port",
                                     std::to_string(serverPort), "--handle", "taro", "--channel",
                                     "main"},
            world.work);
        ASSERT_TRUE(term->started());
    }

    // The scripted server accepts the client and acknowledges its handle and channel.
    void Register() {
        ASSERT_TRUE(world.peer.Accept());
        world.peer.ReadUntil("JOIN #main");
        world.peer.Write(Reply("RESPONSE 100", "OPEN taro\n") +
                         Reply("RESPONSE 100", "JOIN #main\n"));
        ASSERT_TRUE(term->WaitForOutput(" JOIN #main\n"));
    }

    HostileWorld world;
    std::unique_ptr<ChildProcess> term;
};

TEST_P(HostileTerm, StaysSafeAndLive) {
    const HostileCase& c = GetParam();
    const bool viaRelay = UsesRelay(c);
    if (viaRelay) {
        ASSERT_NO_FATAL_FAILURE(world.StartRelay());
        ASSERT_NO_FATAL_FAILURE(StartTerm(world.port));
        ASSERT_TRUE(term->WaitForOutput(" JOIN #main\n"));
    } else {
        if (c.serverStopsReading) {
            world.peer.SetReceiveBuffer(4096);
        }
        ASSERT_NO_FATAL_FAILURE(StartTerm(world.peer.port()));
        ASSERT_NO_FATAL_FAILURE(Register());
    }
    // The settings were stored on connecting; from here on nothing of the program's own may
    // change but the log, which only grows.
    const auto before = world.Tree();

    std::thread typing;
    if (c.serverStopsReading) {
        // Far more than the socket buffers hold, typed while the server reads nothing.
        typing = std::thread([&] {
            const std::string line = std::string(3000, 'x') + "\n";
            for (int i = 0; i < 300; ++i) {
                term->Write(line);
            }
        });
    }
    for (const HostileStep& step : c.steps) {
        ASSERT_NO_FATAL_FAILURE(world.Play(step));
    }

    ASSERT_NO_FATAL_FAILURE(world.SendStillThere(viaRelay));
    EXPECT_TRUE(term->WaitForOutput("still-there", 30s)) << term->output();
    if (typing.joinable()) {
        typing.join();
    }
    const TermCodec codec;
    for (std::string text : c.shown) {
        Replace(text, "$DIR", world.work);
        EXPECT_NE(term->output().find(codec.ToUtf8(text)), std::string::npos)
            << "not shown: " << codec.ToUtf8(text) << "\n"
            << term->output();
    }
    world.ExpectOnlyReceivedFiles(before, world.Tree());

    term->CloseInput();
    EXPECT_EQ(term->Wait(30s), 0);
    EXPECT_EQ(FirstControl(term->output()), "");
    const std::string log = world.root.Read(HostileWorld::kLog);
    EXPECT_EQ(FirstControl(codec.ToUtf8(log)), "");
    EXPECT_EQ(log.find(kMarkSystem), std::string::npos);
    if (world.relay) {
        EXPECT_EQ(FirstControl(world.relay->error()), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileTerm, ::testing::ValuesIn(HostileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessel::test
