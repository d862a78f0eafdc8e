// SPDX-License-Identifier: MIT

#pragma once

#include <QDialog>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/ConnectionState.h"
#include "gui/frame/MainFrame.h"
#include "settings/Settings.h"
#include "support/TempDirectory.h"

namespace tessel::gui::test {

// A main frame in a fresh working directory, with its dialogs answered by the test: each
// dialog the frame opens is handed to `answer`, which fills it and returns its result.
struct FrameFixture {
    tessel::test::TempDirectory dir;
    std::optional<Settings> settings;
    std::unique_ptr<CMainFrame> frame;
    std::vector<QString> dialogsOpened;  // class names, in order
    std::function<int(QDialog&)> answer = [](QDialog&) { return int(QDialog::Rejected); };
    QString chosenLogFile;
    QString proposedLogFile;
    QString chosenHtmlFile;
    QString proposedHtmlFile;
    std::vector<QString> warnings;
    std::vector<QStringList> desktopNotes;  // summary and body of each

    void Open() {
        settings = Settings::Open(dir.path());
        CMainFrame::Hooks hooks;
        hooks.connectAtStart = false;
        hooks.runDialog = [this](QDialog& dialog) {
            dialogsOpened.push_back(QString::fromLatin1(dialog.metaObject()->className()));
            return answer(dialog);
        };
        hooks.chooseLogFile = [this](const QString& proposed) {
            proposedLogFile = proposed;
            return chosenLogFile;
        };
        hooks.chooseHtmlFile = [this](const QString& proposed) {
            proposedHtmlFile = proposed;
            return chosenHtmlFile;
        };
        hooks.warn = [this](const QString& text) { warnings.push_back(text); };
        hooks.notifyDesktop = [this](const QString& summary, const QString& body) {
            desktopNotes.push_back({summary, body});
        };
        frame = std::make_unique<CMainFrame>(*settings, hooks);
        QVERIFY(frame->Create());
    }

    void Show(int width, int height) {
        frame->resize(width, height);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }

    void Close() {
        frame->close();
        frame.reset();
    }

    ~FrameFixture() {
        frame.reset();
        ResetConnectionState();
    }
};

// The connection thread's phase as the three flags the commands read show it.
inline void SetConnection(int connecting, int pending, int connected) {
    SetConnectionPhase(connected    ? ConnectionPhase::Connected
                       : connecting ? ConnectionPhase::Connecting
                       : pending    ? ConnectionPhase::Pending
                                    : ConnectionPhase::Idle);
}

// A player of the relay who is nothing but a socket: it says exactly what a test scripts, as a
// hostile peer would, and never reads (the relay keeps what it is sent).
class RawRelayPeer {
  public:
    explicit RawRelayPeer(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(static_cast<std::uint16_t>(port));
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0;
    }
    ~RawRelayPeer() { ::close(fd_); }
    RawRelayPeer(const RawRelayPeer&) = delete;
    RawRelayPeer& operator=(const RawRelayPeer&) = delete;

    bool connected() const { return connected_; }

    // One request: its line, and a body of the given content type when there is one.
    void Request(std::string_view line, std::string_view body = {},
                 std::string_view type = "tesra/binary") {
        std::string out = "TesseraRELAY 0.2\ntoServer\n";
        out.append(line).append("\n");
        if (!body.empty()) {
            out.append("Content-length: ").append(std::to_string(body.size())).append("\n");
            out.append("Content-type: ").append(type).append("\n");
        }
        out.append("ID: c***001\n\n").append(body);
        for (std::string_view rest = out; !rest.empty();) {
            const ssize_t n = ::send(fd_, rest.data(), rest.size(), MSG_NOSIGNAL);
            if (n <= 0) {
                return;
            }
            rest.remove_prefix(static_cast<std::size_t>(n));
        }
    }

  private:
    int fd_;
    bool connected_ = false;
};

}  // namespace tessel::gui::test
