// SPDX-License-Identifier: MIT

#include <QApplication>
#include <QDialog>
#include <QThread>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "gui/dialogs/ConnectDialog.h"
#include "gui/frame/MainFrame.h"
#include "gui/panes/TesselInputView.h"
#include "gui/platform/TextCodec.h"
#include "integration/HostileWorld.h"
#include "protocol/ProtocolState.h"
#include "term/TermCodec.h"

namespace tessel::test {
namespace {

using namespace std::chrono_literals;

// The desktop client's helper: the main frame offscreen, with its working directory as
// HostileWorld lays it out, its dialogs answered as a user would, and the log (which holds
// every line the display pane showed) as what the user saw.
class HostileGui : public ::testing::TestWithParam<HostileCase> {
  protected:
    void SetUp() override {
        ResetProtocolState();
        ResetConnectionState();
    }
    void TearDown() override {
        frame.reset();
        ResetConnectionState();
        ResetProtocolState();
    }

    void StartFrame(int serverPort) {
        settings = Settings::Open(world.work);
        ASSERT_TRUE(settings.has_value());
        gui::CMainFrame::Hooks hooks;
        hooks.connectAtStart = false;
        hooks.runDialog = [serverPort](QDialog& dialog) {
            auto& connect = dynamic_cast<gui::CConnectDialog&>(dialog);
            connect.m_host = "127.0.0.1";
            connect.m_port = serverPort;
            connect.m_handle = "taro";
            connect.m_channel = "#main";
            return int(QDialog::Accepted);
        };
        hooks.warn = [](const QString&) {};
        hooks.notifyDesktop = [](const QString&, const QString&) {};
        frame = std::make_unique<gui::CMainFrame>(*settings, hooks);
        ASSERT_TRUE(frame->Create());
        ASSERT_TRUE(frame->RunCommand(gui::CommandId::Connect));
    }

    // Keeps the window's thread turning, as a user's desktop does, until `done` or the limit.
    static bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit = 30s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        return true;
    }

    std::string Log() const { return world.root.Read(HostileWorld::kLog); }
    bool Logged(std::string_view text) const { return Log().find(text) != std::string::npos; }

    HostileWorld world;
    std::optional<Settings> settings;
    std::unique_ptr<gui::CMainFrame> frame;
};

TEST_P(HostileGui, StaysSafeAndLive) {
    const HostileCase& c = GetParam();
    const bool viaRelay = UsesRelay(c);
    if (viaRelay) {
        ASSERT_NO_FATAL_FAILURE(world.StartRelay());
        ASSERT_NO_FATAL_FAILURE(StartFrame(world.port));
    } else {
        if (c.serverStopsReading) {
            world.peer.SetReceiveBuffer(4096);
        }
        ASSERT_NO_FATAL_FAILURE(StartFrame(world.peer.port()));
        ASSERT_TRUE(WaitFor([this] { return world.peer.Accept(10ms); }));
        // The handle and channel go out from the window's thread once it hears the
        // connection is up: it keeps turning while the server waits for them.
        ASSERT_TRUE(WaitFor([this] {
            return world.peer.ReadUntil("JOIN #main", 10ms).find("JOIN #main") != std::string::npos;
        }));
        world.peer.Write(Reply("RESPONSE 100", "OPEN taro\n") +
                         Reply("RESPONSE 100", "JOIN #main\n"));
    }
    ASSERT_TRUE(WaitFor([this] { return Logged(" JOIN #main"); }));
    const auto before = world.Tree();

    if (c.serverStopsReading) {
        // A long paste while the server reads nothing: the pane gives up on what cannot go.
        QString paste;
        for (int i = 0; i < 300; ++i) {
            paste += QString(3000, 'x') + '\n';
        }
        frame->InputView()->insertPlainText(paste);
    }
    for (const HostileStep& step : c.steps) {
        ASSERT_NO_FATAL_FAILURE(world.Play(step));
    }
    ASSERT_NO_FATAL_FAILURE(world.SendStillThere(viaRelay));
    EXPECT_TRUE(WaitFor([this] { return Logged("still-there"); }, 60s)) << Log();
    for (std::string text : c.shown) {
        Replace(text, "$DIR", world.work);
        EXPECT_TRUE(Logged(text)) << "not shown: " << gui::FromShiftJis(text).toStdString();
    }
    world.ExpectOnlyReceivedFiles(before, world.Tree());

    frame->close();
    frame.reset();
    const std::string log = Log();
    // Read as a terminal user would through a converter: an undecodable byte is no control.
    EXPECT_EQ(FirstControl(TermCodec().ToUtf8(log)), "");
    EXPECT_EQ(log.find(kMarkSystem), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileGui, ::testing::ValuesIn(HostileCases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessel::test

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
