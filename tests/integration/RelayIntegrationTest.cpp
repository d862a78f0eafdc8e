// SPDX-License-Identifier: MIT

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "connection/ConnectionState.h"
#include "session/ClientSession.h"
#include "session/FileExchange.h"
#include "session/SessionCommands.h"
#include "support/ChildProcess.h"
#include "support/DisplayCollector.h"
#include "support/ProtocolFixture.h"
#include "support/RelayPort.h"
#include "support/TempDirectory.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;

// UTF-8 texts as tessel-term prints them.
constexpr const char* kRollOfTaro =
    "taro\xE3\x81\xAE\xE3\x83\xAD\xE3\x83\xBC\xE3\x83\xAB";             // taroのロール
constexpr const char* kTotal = "\xE5\x90\x88\xE8\xA8\x88\xE5\x80\xA4";  // 合計値

// A relay, two terminal clients and one client core in this process, all on loopback: what
// players see when they share a channel.
class RelayIntegration : public test::ProtocolStateTest {
  protected:
    void SetUp() override {
        ProtocolStateTest::SetUp();
        ResetConnectionState();
        relay = std::make_unique<test::ChildProcess>(
            std::vector<std::string>{TESSEL_RELAY_BINARY, "--listen", "127.0.0.1:0", "--seed", "5"},
            relayDir.path());
        port = test::ListeningPort(*relay);
        ASSERT_FALSE(port.empty()) << relay->error();

        std::filesystem::create_directory(jiroDir.path() + "/recv");
        jiroDir.Write("tessel.ini", "[Options]\r\nisrecvfile=1\r\nsavefiledir=" + jiroDir.dir() +
                                        "recv/\r\nisrecvwave=1\r\n");
        taro = StartTerm(taroDir, "taro");
        jiro = StartTerm(jiroDir, "jiro");
        ASSERT_TRUE(taro->WaitForOutput(" JOIN #main\n"));
        ASSERT_TRUE(jiro->WaitForOutput(" JOIN #main\n"));
    }

    void TearDown() override {
        session.reset();
        ResetConnectionState();
        ProtocolStateTest::TearDown();
    }

    std::unique_ptr<test::ChildProcess> StartTerm(const test::TempDirectory& dir,
                                                  const std::string& handle) {
        return std::make_unique<test::ChildProcess>(
            std::vector<std::string>{TESSEL_TERM_BINARY, "--host", "127.0.0.1", "--port", port,
                                     "--handle", handle, "--channel", "main"},
            dir.path());
    }

    // The third player, "saburo", is the client core itself, as the GUI will drive it.
    void JoinAsSaburo() {
        settings = Settings::Open(saburoDir.path());
        ClientSession::Options options;
        options.settings = &*settings;
        session = std::make_unique<ClientSession>(queue, frontEnd, std::move(options));
        AcceptConnect(pending, session->connection(), "127.0.0.1", std::stoi(port), "saburo",
                      "main");
        ASSERT_TRUE(frontEnd.waitForEvent("HostConnected"));
        OnHostConnected(pending, session->connection(), &*settings);
        ASSERT_TRUE(shown.WaitForText(" JOIN #main\r\n"));
    }

    test::TempDirectory relayDir, taroDir, jiroDir, saburoDir;
    std::unique_ptr<test::ChildProcess> relay, taro, jiro;
    std::string port;

    std::optional<Settings> settings;
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue{frontEnd};
    test::DisplayCollector shown{queue, frontEnd};
    PendingConnection pending;
    std::unique_ptr<ClientSession> session;
};

TEST_F(RelayIntegration, ChatAndRollsReachTheOtherPlayer) {
    taro->Write("hello everyone\n");
    ASSERT_TRUE(jiro->WaitForOutput("taro: hello everyone\n"));
    taro->Write("2d6+1 note\n");
    ASSERT_TRUE(jiro->WaitForOutput(kTotal));
    const std::string seen = jiro->output();
    const std::size_t report = seen.find(kRollOfTaro);
    ASSERT_NE(report, std::string::npos) << seen;
    EXPECT_NE(seen.find("(note)", report), std::string::npos) << seen;
    EXPECT_NE(seen.find("2 d 6  + 1", report), std::string::npos) << seen;
    // The roller sees the same report.
    EXPECT_TRUE(taro->WaitForOutput(kTotal));
}

TEST_F(RelayIntegration, PrivateMessagesReachOnlyTheirTarget) {
    JoinAsSaburo();
    taro->Write("m jiro only for you\n");
    taro->Write("after the secret\n");
    ASSERT_TRUE(jiro->WaitForOutput("taro: to jiro: only for you\n"));
    // Everyone sees the public line that followed; saburo never saw the private one.
    ASSERT_TRUE(shown.WaitFor([](const auto& items) {
        return !items.empty() && items.back().text == "after the secret";
    }));
    for (const DisplayItem& item : shown.Drain()) {
        EXPECT_EQ(item.text.find("only for you"), std::string::npos);
    }
    EXPECT_TRUE(taro->WaitForOutput("taro: to jiro: only for you\n"));
}

TEST_F(RelayIntegration, FilesAndSoundRequestsTravelBetweenClients) {
    JoinAsSaburo();
    std::string data;
    for (int i = 0; i < 1500; ++i) {
        data += static_cast<char>((i * 31) ^ (i >> 3));
    }
    saburoDir.Write("map.bin", data);
    auto post = [this](std::string_view block) {
        session->connection().PostData(ThreadMessage::SendData, block);
    };
    ASSERT_EQ(SendFile(post, "jiro", saburoDir.dir() + "map.bin", 10ms), FileSendResult::Sent);
    // "ファイルmap.binの受信終了しました。"
    ASSERT_TRUE(jiro->WaitForOutput("map.bin\xE3\x81\xAE\xE5\x8F\x97\xE4\xBF\xA1\xE7\xB5\x82"));
    EXPECT_EQ(jiroDir.Read("recv/map.bin"), data);

    session->connection().PostData(ThreadMessage::SendSound, SoundRequestBlock("*", "door.wav"));
    // "saburoのサウンドdoor.wav再生要求を受信しました"
    EXPECT_TRUE(
        jiro->WaitForOutput("saburo\xE3\x81\xAE\xE3\x82\xB5\xE3\x82\xA6\xE3\x83\xB3"
                            "\xE3\x83\x89"
                            "door.wav"));
    // taro does not accept files: nothing lands in his directory.
    EXPECT_FALSE(taroDir.Exists("map.bin"));
}

}  // namespace
}  // namespace tessel
