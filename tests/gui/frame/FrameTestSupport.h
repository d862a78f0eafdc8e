#pragma once

#include <QDialog>
#include <QTest>

#include <functional>
#include <memory>
#include <optional>
#include <string>
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

}  // namespace tessel::gui::test
