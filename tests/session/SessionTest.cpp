// SPDX-License-Identifier: MIT

#include "session/ClientSession.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <atomic>
#include <string>
#include <thread>

#include "connection/ConnectionState.h"
#include "connection/ConnectionTexts.h"
#include "session/SessionCommands.h"
#include "session/SessionTexts.h"
#include "support/Bytes.h"
#include "support/DisplayCollector.h"
#include "support/LoopbackPeer.h"
#include "support/ProtocolFixture.h"
#include "support/TempDirectory.h"

namespace tessel {
namespace {

using namespace std::chrono_literals;
using test::Bytes;

constexpr std::string_view kGreeting = "TesseraRELAY 0.2\ntoServer\n";

// The client core against a loopback peer that plays the server.
class SessionTest : public test::ProtocolStateTest {
  protected:
    void SetUp() override {
        ProtocolStateTest::SetUp();
        ResetConnectionState();
        settings = Settings::Open(dir.path());
        ASSERT_TRUE(settings.has_value());
        ClientSession::Options options;
        options.settings = &*settings;
        options.refreshAutoLog = [this] { ++logRefreshes; };
        options.silence = 2s;
        session = std::make_unique<ClientSession>(queue, frontEnd, std::move(options));
    }

    void TearDown() override {
        session.reset();
        ResetConnectionState();
        ProtocolStateTest::TearDown();
    }

    CConnectOnThread& connection() { return session->connection(); }

    // Connects as the connect dialog's OK would and plays the frame's part once it is up.
    void ConnectAndRegister(std::string handle = "", std::string channel = "") {
        const int connections = frontEnd.count("HostConnected");
        AcceptConnect(pending, connection(), "127.0.0.1", peer.port(), handle, channel);
        ASSERT_TRUE(peer.Accept());
        ASSERT_TRUE(frontEnd.waitForEvent("HostConnected", connections + 1));
        OnHostConnected(pending, connection(), &*settings);
    }

    void Command(std::string_view text) {
        ASSERT_TRUE(connection().PostText(ThreadMessage::Command, text, 5000ms));
    }

    // Types long chat lines while the peer reads nothing, until the client refuses one
    // because its output queue is full; false if it never does.
    bool FillOutputUntilRefused() {
        const std::string filler(4000, 'x');
        for (int i = 0; i < 5000; ++i) {
            if (!connection().PostText(ThreadMessage::Command,
                                       "line " + std::to_string(i) + ' ' + filler, 5000ms)) {
                return false;
            }
            if (i % 50 == 0 && Refused()) {
                return true;
            }
        }
        return shown.WaitForText(std::string(texts::kOutputQueueFull), 5s);
    }

    bool Refused() {
        for (const DisplayItem& item : shown.Drain()) {
            if (item.text == texts::kOutputQueueFull) {
                return true;
            }
        }
        return false;
    }

    std::string Header(std::string_view lines) {
        return std::string(kGreeting) + std::string(lines);
    }

    test::TempDirectory dir;
    std::optional<Settings> settings;
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue{frontEnd};
    test::DisplayCollector shown{queue, frontEnd};
    test::LoopbackPeer peer;
    PendingConnection pending;
    int logRefreshes = 0;
    std::unique_ptr<ClientSession> session;
};

TEST_F(SessionTest, ConnectToAClosedPortIsRefused) {
    peer.StopListening();
    AcceptConnect(pending, connection(), "127.0.0.1", peer.port(), "taro", "main");
    ASSERT_TRUE(shown.WaitForText(std::string(texts::kRefused)));
    EXPECT_EQ(shown.Texts(),
              (std::vector<std::string>{
                  "Connecting to Address: 127.0.0.1    Port:" + std::to_string(peer.port()) +
                      "   ....\r\n",
                  std::string(texts::kConnecting), std::string(texts::kConnectFailed),
                  std::string(texts::kRefused)}));
    EXPECT_EQ(IsConnected(), 0);
    EXPECT_EQ(ConnectPending(), 0);
    EXPECT_EQ(IsConnecting(), 0);
    // Only a connection that worked is remembered; the handle waits for the next one.
    EXPECT_EQ(settings->GetString(SettingKey::ipaddr), "");
    EXPECT_EQ(pending.ConnectHandle, "taro");
}

TEST_F(SessionTest, AnUnresolvableNameShowsTheLookupError) {
    // A label longer than 63 bytes is refused by the resolver itself, so the test sends no
    // query anywhere.
    AcceptConnect(pending, connection(), std::string(70, 'a') + ".example", 3962, "", "");
    ASSERT_TRUE(shown.WaitFor([](const auto& items) { return items.size() >= 3; }));
    const auto texts = shown.Texts();
    EXPECT_EQ(texts[1], std::string(texts::kConnectFailed));
    EXPECT_EQ(Bytes(texts[2]), Bytes("\x83G\x83\x89\x81[\x82\xAA\x8BN\x82\xB1\x82\xE8\x82\xDC\x82"
                                     "\xB5\x82\xBD\x81"
                                     "B\r\nError Code: 11001\r\n\r\n"));
    EXPECT_EQ(ConnectPending(), 0);
}

TEST_F(SessionTest, ConnectionUpRegistersHandleThenChannel) {
    ConnectAndRegister("taro", "main");
    const std::string expected = Header("OPEN 127.0.0.1:" + std::to_string(peer.PeerPort()) +
                                        " taro\nID: a25500000000\n\n") +
                                 Header("JOIN #main\nID: a25500001000\n\n");
    EXPECT_EQ(Bytes(peer.ReadAtLeast(expected.size())), Bytes(expected));
    EXPECT_TRUE(shown.WaitForText(std::string(texts::kConnected)));
    EXPECT_EQ(IsConnected(), 1);
    EXPECT_EQ(settings->GetString(SettingKey::ipaddr), "127.0.0.1");
    EXPECT_EQ(settings->GetInt(SettingKey::port), peer.port());
    EXPECT_EQ(settings->GetString(SettingKey::name), "taro");
    EXPECT_EQ(settings->GetString(SettingKey::channel), "main");
    EXPECT_EQ(PendingHandle(), "taro");
    EXPECT_EQ(PendingChannel(), "#main");
}

TEST_F(SessionTest, ServerMessagesAreDispatched) {
    ConnectAndRegister("taro", "main");
    peer.ReadUntil("JOIN #main");
    peer.ClearReceived();
    // A probe carrying the client number, then the acknowledgements, sent in odd pieces.
    const std::string stream =
        "TesseraRELAY/0.1\r\ntoClient\r\nREADY 7\r\nID: s***007\r\n\r\n"
        "TesseraRELAY/0.1\ntoClient\nRESPONSE 100\nContent-length: 10\nContent-type: "
        "tesra/euc\nID: m00700000000r002\n\nOPEN taro\n"
        "TesseraRELAY/0.1\ntoClient\nRESPONSE 100\nContent-length: 11\nContent-type: "
        "tesra/euc\nID: m00700001000r008\n\nJOIN #main\n";
    for (std::size_t p = 0; p < stream.size(); p += 13) {
        peer.Write(std::string_view(stream).substr(p, 13));
    }
    EXPECT_EQ(Bytes(peer.ReadUntil("\n\n")), Bytes(Header("RESPONSE 000 7\nID: s***007\n\n")));
    ASSERT_TRUE(shown.WaitForText(" JOIN #main\r\n"));
    EXPECT_EQ(ClientNumber(), 7);
    EXPECT_EQ(CurrentHandle(), "taro");
    EXPECT_EQ(CurrentChannel(), "#main");
    EXPECT_TRUE(frontEnd.waitForEvent("TitleRefresh", 2));
}

TEST_F(SessionTest, TypedCommandsGoOutAsExactRequests) {
    ConnectAndRegister();
    Command("2d6+1 attack");
    Command("m bob hello");
    Command("");  // an empty line sends nothing
    Command("MODE -o");
    Command("MODE +x");
    Command("2d6f 3 4");
    const std::string received = peer.ReadUntil("3\n4\n");
    EXPECT_NE(received.find(Header("ROLL 2 6 0 0\nID: m25500000000+001xattack\n\n")),
              std::string::npos);
    EXPECT_NE(received.find("SENDMESG bob\nContent-length: 13\nContent-type: tesra/euc\n"
                            "ID: a25500001000\n\nto bob: hello"),
              std::string::npos);
    EXPECT_NE(received.find(Header("MODE -o\nID: a25500002000\n\n") +
                            Header("MODE +x\nID: a25500003000\n\n")),
              std::string::npos);
    EXPECT_NE(received.find(Header("FAKEROLL 2 6 0 0\nContent-length: 4\nContent-type: "
                                   "tesra/result\nID: m255000040000000x\n\n3\n4\n")),
              std::string::npos);
    ASSERT_TRUE(shown.WaitForText(std::string(texts::kFakeRollEcho)));
    const auto texts = shown.Texts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), std::string(texts::kSecretDiceMode)),
              texts.end());
    EXPECT_EQ(OpenDice(), 0);
}

TEST_F(SessionTest, RequestsTooLongForTheirHeaderAreRefusedVisibly) {
    ConnectAndRegister();
    Command("MODE " + std::string(240, 'm'));
    connection().PostText(ThreadMessage::Open, std::string(240, 'h'));
    ASSERT_TRUE(shown.WaitFor([](const auto& items) {
        int refused = 0;
        for (const DisplayItem& item : items) {
            refused += item.text == texts::kRequestTooLong ? 1 : 0;
        }
        return refused == 2;
    }));
    Command("LIST");
    EXPECT_EQ(Bytes(peer.ReadUntil("LIST\n")), Bytes(Header("LIST\nID: a25500002000\n\n")));
}

TEST_F(SessionTest, ConnectingAgainEndsTheLiveConnectionFirst) {
    ConnectAndRegister();
    SetCurrentHandle("taro");
    test::LoopbackPeer second;
    AcceptConnect(pending, connection(), "127.0.0.1", second.port(), "", "");
    EXPECT_TRUE(peer.WaitForClose());
    EXPECT_NE(peer.received().find("CLOSE\n"), std::string::npos);
    ASSERT_TRUE(second.Accept());
    EXPECT_TRUE(frontEnd.waitForEvent("HostConnected", 2));
    EXPECT_EQ(CurrentHandle(), "");
}

TEST_F(SessionTest, DataBlocksCarryTheirBytesUnchanged) {
    ConnectAndRegister();
    std::string block = "SENDMESG *\n";
    for (int i = 0; i < 100; ++i) {
        block += static_cast<char>(i * 3);
    }
    connection().PostData(ThreadMessage::SendData, block);
    const std::string expected =
        Header(
            "SENDMESG *\nContent-length: 100\nContent-type: tesra/binary\nID: a25500000000\n\n") +
        block.substr(11);
    EXPECT_EQ(Bytes(peer.ReadAtLeast(expected.size())), Bytes(expected));
}

TEST_F(SessionTest, TypedCloseSaysGoodbyeTwiceAndDisconnects) {
    ConnectAndRegister();
    Command("CLOSE");
    EXPECT_TRUE(peer.WaitForClose());
    EXPECT_EQ(Bytes(peer.received()),
              Bytes(Header("CLOSE\nID: a25500000000\n\n") + Header("CLOSE\nID: a25500001000\n\n")));
    ASSERT_TRUE(shown.WaitForText(std::string(texts::kConnectionClosed)));
    EXPECT_EQ(IsConnected(), 0);
    EXPECT_TRUE(frontEnd.waitForEvent("UserListClear"));
}

TEST_F(SessionTest, QuitCommandEndsTheProgramWithoutSending) {
    ConnectAndRegister();
    Command("CMD QUIT");
    Command("CMD OTHER");
    Command("LIST");
    EXPECT_EQ(Bytes(peer.ReadUntil("LIST\n")), Bytes(Header("LIST\nID: a25500000000\n\n")));
    EXPECT_EQ(frontEnd.count("Quit"), 1);
}

TEST_F(SessionTest, ServerCloseClearsTheSessionAndAllowsReconnecting) {
    ConnectAndRegister("taro");
    SetCurrentHandle("taro");
    SetCurrentChannel("#main");
    peer.ReadUntil("taro");
    peer.CloseConnection();
    ASSERT_TRUE(shown.WaitForText(std::string(texts::kConnectionClosed)));
    const auto texts = shown.Texts();
    EXPECT_EQ(texts[texts.size() - 2], std::string(texts::kLineDropped));
    EXPECT_TRUE(frontEnd.waitForEvent("UserListClear"));
    EXPECT_EQ(IsConnected(), 0);
    EXPECT_EQ(CurrentHandle(), "");
    EXPECT_EQ(CurrentChannel(), "");

    ConnectAndRegister("jiro");
    EXPECT_NE(peer.ReadUntil("jiro").find("OPEN 127.0.0.1:"), std::string::npos);
    EXPECT_EQ(IsConnected(), 1);
}

TEST_F(SessionTest, DisconnectWhileIdleDoesNothing) {
    connection().PostDisconnect();
    Command("LIST");  // handled after the disconnect, so both are done once it is shown
    connection().PostDisconnect();
    ASSERT_TRUE(connection().PostText(ThreadMessage::Command, "GETUSER", 5000ms));
    EXPECT_TRUE(shown.Texts().empty());
    EXPECT_EQ(frontEnd.count("UserListClear"), 0);
}

TEST_F(SessionTest, TheMailboxKeepsRequestsInOrder) {
    ConnectAndRegister();
    for (int i = 0; i < 50; ++i) {
        Command("line " + std::to_string(i));
    }
    const std::string received = peer.ReadUntil("line 49");
    std::size_t last = 0;
    for (int i = 0; i < 50; ++i) {
        const std::size_t at = received.find("\n\nline " + std::to_string(i));
        ASSERT_NE(at, std::string::npos) << i;
        EXPECT_GT(at, last) << i;
        last = at;
    }
}

TEST_F(SessionTest, AStalledBodyIsDispatchedAfterTheSilence) {
    ConnectAndRegister();
    peer.Write("TesseraRELAY/0.1\ntoClient\nSHOW 2 6 bob 0 0\nContent-length: 50\n\n3\n");
    ASSERT_TRUE(shown.WaitFor([](const auto& items) {
        return !items.empty() && items.back().kind == DisplayKind::Roll;
    }));
    EXPECT_EQ(shown.Drain().back().text, "3\n");
}

TEST_F(SessionTest, RequestsLeaveWithoutWaitingForAcknowledgements) {
    ConnectAndRegister();
    int noDelay = 0;
    socklen_t length = sizeof noDelay;
    ASSERT_EQ(
        ::getsockopt(connection().socket().PollFd(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &length),
        0);
    EXPECT_NE(noDelay, 0);
}

TEST_F(SessionTest, ALineRefusedForAFullOutputQueueIsShown) {
    peer.SetReceiveBuffer(4096);
    ConnectAndRegister();
    EXPECT_TRUE(FillOutputUntilRefused());
}

TEST_F(SessionTest, DisconnectSendsWhatIsQueuedAndTheGoodbye) {
    peer.SetReceiveBuffer(4096);
    ConnectAndRegister();
    ASSERT_TRUE(FillOutputUntilRefused());
    connection().PostDisconnect();
    const std::string close = Header("CLOSE\nID: ");
    const std::string received = peer.ReadUntil(close, 20s);
    ASSERT_NE(received.find(close), std::string::npos);
    EXPECT_NE(received.find("\n\nline 0 x"), std::string::npos);
    ASSERT_TRUE(shown.WaitForText(std::string(texts::kConnectionClosed)));
    for (const std::string& text : shown.Texts()) {
        EXPECT_FALSE(text.starts_with(texts::kUnsentDropped.substr(0, 10))) << text;
    }
}

TEST_F(SessionTest, DisconnectReportsWhatAServerThatReadsNothingNeverGot) {
    peer.SetReceiveBuffer(4096);
    ConnectAndRegister();
    ASSERT_TRUE(FillOutputUntilRefused());
    connection().PostDisconnect();
    // "送信できなかった " and a byte count.
    const std::string_view lead = texts::kUnsentDropped.substr(0, 17);
    EXPECT_TRUE(shown.WaitFor([&](const std::vector<DisplayItem>& items) {
        for (const DisplayItem& item : items) {
            if (item.text.starts_with(lead) && item.text.size() > lead.size() &&
                item.text[lead.size()] >= '1' && item.text[lead.size()] <= '9') {
                return true;
            }
        }
        return false;
    }));
    EXPECT_TRUE(shown.WaitForText(std::string(texts::kConnectionClosed)));
}

// Waits until `done` holds, checking it every few milliseconds; false on timeout.
template <typename Done>
bool WaitUntil(Done done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST_F(SessionTest, AFloodIsHeldBackWhileTheDisplayIsBehindAndNothingIsLost) {
    ConnectAndRegister();
    // Far more than the kernel's buffers on both ends can hold.
    constexpr int kLines = 150000;
    std::string flood;
    for (int i = 0; i < kLines; ++i) {
        const std::string body = "flood " + std::to_string(i);
        flood += "TesseraRELAY/0.1\ntoClient\nSHOWMESG bob\nContent-length: " +
                 std::to_string(body.size()) + "\nContent-type: tesra/euc\n\n" + body;
    }
    std::atomic<bool> written{false};
    std::thread writer([&] {
        peer.Write(flood);
        written = true;
    });

    // Nobody drains: the client must stop reading once its display queue is full, so the
    // server cannot finish writing and the queue stays near its mark.
    EXPECT_FALSE(WaitUntil([&] { return written.load(); }, 1500ms)) << "the client kept reading";
    EXPECT_TRUE(queue.Full());
    EXPECT_LE(queue.size(), DisplayQueue::kHighItems + 1000);

    // Draining lets it go on, and every line arrives once, in order.
    int next = 0;
    const bool all = WaitUntil(
        [&] {
            while (auto item = queue.TakeDisplayItem()) {
                if (item->kind == DisplayKind::Chat) {
                    EXPECT_EQ(item->text, "flood " + std::to_string(next));
                    ++next;
                }
            }
            return next == kLines;
        },
        30s);
    EXPECT_TRUE(all) << next;
    writer.join();
    EXPECT_TRUE(written);
}

}  // namespace
}  // namespace tessel
