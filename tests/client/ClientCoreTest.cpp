// SPDX-License-Identifier: MIT

#include "client/ClientCore.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "support/FrontEndRecorder.h"
#include "support/LoopbackPeer.h"
#include "support/ProtocolFixture.h"
#include "support/TempDirectory.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;

// The core as a front end holds it, against a loopback peer that plays the server.
class ClientCoreTest : public test::ProtocolStateTest {
  protected:
    void SetUp() override {
        ProtocolStateTest::SetUp();
        ResetConnectionState();
        settings = Settings::Open(dir.path());
        ASSERT_TRUE(settings.has_value());
        ClientCore::Options options;
        options.silence = 2s;
        core = std::make_unique<ClientCore>(*settings, frontEnd, std::move(options));
    }
    void TearDown() override {
        core.reset();
        ResetConnectionState();
        ProtocolStateTest::TearDown();
    }

    void ConnectAs(std::string handle, std::string channel) {
        core->Connect("127.0.0.1", peer.port(), handle, channel);
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(frontEnd.waitForEvent("HostConnected"));
        core->HostConnected();
        peer.ReadUntil("JOIN");
    }

    test::TempDirectory dir;
    std::optional<Settings> settings;
    test::FrontEndRecorder frontEnd;
    test::LoopbackPeer peer;
    std::unique_ptr<ClientCore> core;
};

std::string UserList(std::string_view rows) {
    std::string body(rows);
    body += "No entry\n";
    return "TesseraRELAY/0.1\ntoClient\nPUTUSER\nContent-length: " + std::to_string(body.size()) +
           "\nContent-type: tesra/euc\nID: s***001\n\n" + body;
}

// A server that floods user lists reaches the front end as one waiting change. Once enough
// changes have merged the connection stops reading, so TCP holds the server back instead of
// the client's memory growing; typed lines still go out, and taking the change lets the
// flood go on.
TEST_F(ClientCoreTest, AUserListFloodMergesAndHoldsTheServerBack) {
    ConnectAs("taro", "#main");
    const std::string list = UserList("taro #main 127.0.0.1 0\njiro #main 127.0.0.2 1\n");
    constexpr int kBound = 200000;  // far past what the queue and the socket buffers absorb
    int written = 0;
    while (written < kBound && peer.WriteWithin(list, 500ms)) {
        ++written;
    }
    EXPECT_LT(written, kBound) << "the client never stopped reading";
    EXPECT_GE(written, static_cast<int>(DisplayQueue::kHighItems));
    EXPECT_EQ(frontEnd.count("UserListRefresh"), 1);

    ASSERT_TRUE(core->SendTypedLine("still here", 1000ms));
    EXPECT_NE(peer.ReadUntil("still here").find("still here"), std::string::npos);

    const std::optional<UserTable::Rows> rows = core->TakeUserList();
    ASSERT_TRUE(rows.has_value());
    EXPECT_EQ((*rows)[1].handle.view(), "jiro");
    EXPECT_TRUE(peer.WriteWithin(list, 5000ms));
    EXPECT_TRUE(frontEnd.waitForEvent("UserListRefresh", 2));
}

// The program's own files are guarded for every front end: the settings file, the key file
// and the open log are never replaced by a peer's piece, however the directory is spelt.
TEST_F(ClientCoreTest, APeerCannotReplaceTheOwnFiles) {
    const std::string work = dir.dir();
    dir.Write("tessel.key", "F1=hello\r\n");
    ASSERT_TRUE(core->LoadKeyFile(work + "tessel.key"));
    ASSERT_TRUE(core->Log().StartManualLog(work + "chat.log"));
    core->AppSettings().SetString(SettingKey::savefiledir, work + "./");
    core->AppSettings().SetInt(SettingKey::isrecvfile, 1);
    ConnectAs("taro", "#main");
    const std::string ini = dir.Read("tessel.ini");

    std::string pieces;
    for (const char* name : {"tessel.ini", "tessel.key", "chat.log", "arrived.txt"}) {
        const std::string body = std::string("CC FILESEND ") + name + " 255 5\nEVIL!";
        pieces += "TesseraRELAY/0.1\ntoClient\nSHOWMESG evil\nContent-length: " +
                  std::to_string(body.size()) + "\nContent-type: tesra/binary\nID: s***001\n\n" +
                  body;
    }
    peer.Write(pieces);
    for (int i = 0; i < 200 && dir.Read("arrived.txt").empty(); ++i) {
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(dir.Read("arrived.txt"), "EVIL!");
    EXPECT_EQ(dir.Read("tessel.ini"), ini);
    EXPECT_EQ(dir.Read("tessel.key"), "F1=hello\r\n");
    EXPECT_EQ(dir.Read("chat.log").find("EVIL!"), std::string::npos);
}

}  // namespace
}  // namespace tessel
