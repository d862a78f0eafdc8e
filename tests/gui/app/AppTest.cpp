// SPDX-License-Identifier: MIT

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "connection/ConnectionState.h"
#include "gui/app/TesselApp.h"
#include "gui/app/TesselDoc.h"
#include "gui/dialogs/AboutDialog.h"
#include "gui/dialogs/ConnectDialog.h"
#include "gui/frame/MainFrame.h"
#include "gui/panes/TesselDispView.h"
#include "gui/panes/TesselInputView.h"
#include "support/ChildProcess.h"
#include "support/RelayPort.h"
#include "support/TempDirectory.h"

using namespace tessel;
using namespace tessel::gui;
using namespace std::chrono_literals;

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Answers the start-up connect dialog as a person would, once it is on screen: notes whether
// the main window was already visible, then types into its fields and presses a button.
struct DialogDriver {
    bool seen = false;
    bool mainWindowVisible = false;
    std::function<void(CConnectDialog&)> act;

    void Arm() {
        QTimer::singleShot(20, [this] { Poll(); });
    }

    void Poll() {
        auto* dialog = qobject_cast<CConnectDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            QTimer::singleShot(20, [this] { Poll(); });
            return;
        }
        seen = true;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (qobject_cast<CMainFrame*>(window) && window->isVisible()) {
                mainWindowVisible = true;
            }
        }
        act(*dialog);
    }
};

void Retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

}  // namespace

// Start-up of the whole program as the tessel binary runs it, and one session through
// tessel-relay with a second player at a terminal client.
class AppTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        ResetConnectionState();
        dir = std::make_unique<test::TempDirectory>();
        QDir::setCurrent(QString::fromStdString(dir->path()));
    }
    void cleanup() {
        if (auto* app = qobject_cast<CTesselApp*>(qApp); app && app->MainFrame()) {
            app->MainFrame()->close();
        }
        ResetConnectionState();
    }

    // The built program itself answers its command line without opening a window.
    void binaryReportsItsVersion() {
        test::ChildProcess tessel({TESSEL_BINARY, "--version"}, dir->path());
        QVERIFY(tessel.WaitForOutput("tessel "));
        QCOMPARE(tessel.Wait(10s), std::optional<int>(0));
        QVERIFY(!dir->Exists("tessel.ini"));  // nothing was written
    }

    // The version box and --version show the version of project(), without a display too.
    void versionBoxAndBinaryShowTheProjectVersion() {
        CAboutDialog box;
        QStringList texts;
        for (const QLabel* label : box.findChildren<QLabel*>()) {
            texts << label->text();
        }
        QVERIFY2(texts.contains(QStringLiteral("tessel Version " TESSEL_PROJECT_VERSION)),
                 qPrintable(texts.join('|')));
        const char* display = std::getenv("QT_QPA_PLATFORM");
        const std::string saved = display ? display : "";
        ::unsetenv("QT_QPA_PLATFORM");
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        test::ChildProcess tessel({TESSEL_BINARY, "--version"}, dir->path());
        ::setenv("QT_QPA_PLATFORM", saved.c_str(), 1);
        QVERIFY(tessel.WaitForOutput("tessel " TESSEL_PROJECT_VERSION "\n"));
        QCOMPARE(tessel.Wait(10s), std::optional<int>(0));
    }

    // A folder the program cannot use ends it before any window opens or any file is written.
    void binaryRefusesAFolderItCannotUse() {
        dir->Write("plain-file", "x");
        struct Case {
            std::vector<std::string> args;
            const char* home;  // HOME for the child; nullptr keeps the test's
            int code;
            const char* message;
        };
        const std::vector<Case> cases = {
            {{"--dir", "plain-file/tessel"}, nullptr, 1, "cannot create plain-file/tessel: "},
            {{"--dir", "plain-file"}, nullptr, 1, "cannot use plain-file: "},
            {{"--dir", "x", "--xdg-data"}, nullptr, 2, "cannot be used together"},
            {{"--xdg-data"}, "relative/home", 1, "--xdg-data needs HOME or XDG_DATA_HOME"},
            {{"--dri", "x"}, nullptr, 2, "dri"},
        };
        const std::string savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        const char* savedXdg = std::getenv("XDG_DATA_HOME");
        const std::string savedXdgValue = savedXdg ? savedXdg : "";
        for (const Case& c : cases) {
            std::vector<std::string> argv = {TESSEL_BINARY};
            argv.insert(argv.end(), c.args.begin(), c.args.end());
            if (c.home) {
                ::setenv("HOME", c.home, 1);
                ::unsetenv("XDG_DATA_HOME");
            }
            test::ChildProcess tessel(argv, dir->path());
            ::setenv("HOME", savedHome.c_str(), 1);
            if (savedXdg) {
                ::setenv("XDG_DATA_HOME", savedXdgValue.c_str(), 1);
            }
            QVERIFY2(tessel.WaitForError(c.message), c.message);
            QCOMPARE(tessel.Wait(10s), std::optional<int>(c.code));
            QVERIFY(!dir->Exists("tessel.ini"));
            QVERIFY(!dir->Exists("x"));
        }
    }

    void cancelledConnectStillShowsTheWindow() {
        DialogDriver driver;
        driver.act = [](CConnectDialog& dialog) { dialog.reject(); };
        driver.Arm();
        auto* app = qobject_cast<CTesselApp*>(qApp);
        QVERIFY(app->InitInstance());
        QVERIFY(driver.seen);
        QVERIFY(!driver.mainWindowVisible);  // the dialog came first
        CMainFrame* frame = app->MainFrame();
        QVERIFY(frame->isVisible());
        QVERIFY(!frame->isMinimized());
        QCOMPARE(ConnectPending(), 0);
        QCOMPARE(IsConnected(), 0);
        QTRY_VERIFY(frame->InputView()->hasFocus());
        QTest::keyClicks(QApplication::focusWidget(), "typed at once");
        QCOMPARE(frame->InputView()->toPlainText(), QString("typed at once"));
    }

    void documentTextGoesIntoTheInputPane() {
        DialogDriver driver;
        driver.act = [](CConnectDialog& dialog) { dialog.reject(); };
        driver.Arm();
        auto* app = qobject_cast<CTesselApp*>(qApp);
        QVERIFY(app->InitInstance());
        dir->Write("notes.txt", "2d6 \x8d\x55\x8c\x82\r\n");  // "2d6 攻撃" in code page 932
        QVERIFY(app->Document()->OnOpenDocument(QString::fromStdString(dir->dir() + "notes.txt")));
        QCOMPARE(app->MainFrame()->InputView()->toPlainText(), U("2d6 攻撃\n"));
        QVERIFY(!app->Document()->OnOpenDocument(QString::fromStdString(dir->dir() + "none.txt")));
        app->Document()->OnNewDocument();
        QCOMPARE(app->MainFrame()->InputView()->toPlainText(), QString());
    }

    // The whole way: the start-up dialog connects to tessel-relay, a typed roll comes back
    // as a report in the display pane, in the automatic log and at the other player's client.
    void rollThroughTheRelay() {
        test::TempDirectory relayDir, jiroDir;
        test::ChildProcess relay({TESSEL_RELAY_BINARY, "--listen", "127.0.0.1:0", "--seed", "7"},
                                 relayDir.path());
        const QString port = QString::fromStdString(test::ListeningPort(relay));
        QVERIFY(!port.isEmpty());
        test::ChildProcess jiro({TESSEL_TERM_BINARY, "--host", "127.0.0.1", "--port",
                                 port.toStdString(), "--handle", "jiro", "--channel", "main"},
                                jiroDir.path());
        QVERIFY(jiro.WaitForOutput(" JOIN #main\n"));

        dir->Write("tessel.ini", "[Settings]\r\nautolog=1\r\nautologname=game.log\r\n");
        DialogDriver driver;
        driver.act = [port](CConnectDialog& dialog) {
            Retype(dialog.HostEdit(), "127.0.0.1");
            Retype(dialog.PortEdit(), port);
            Retype(dialog.HandleEdit(), "taro");
            Retype(dialog.ChannelEdit(), "main");
            QTest::keyClick(dialog.ChannelEdit(), Qt::Key_Return);
        };
        driver.Arm();
        auto* app = qobject_cast<CTesselApp*>(qApp);
        QVERIFY(app->InitInstance());
        QVERIFY(driver.seen);
        CMainFrame* frame = app->MainFrame();
        QTRY_VERIFY_WITH_TIMEOUT(frame->windowTitle().endsWith("taro  :  in #main"), 10000);

        jiro.Write("\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF\n");  // こんにちは
        QTRY_VERIFY_WITH_TIMEOUT(frame->DisplayView()->toPlainText().contains(U("こんにちは")),
                                 10000);

        QTRY_VERIFY(frame->InputView()->hasFocus());
        QTest::keyClicks(frame->InputView(), "2d6+1");
        QTest::keyClick(frame->InputView(), Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(frame->DisplayView()->toPlainText().contains(U("taroのロール")),
                                 10000);
        QVERIFY(jiro.WaitForOutput("taro\xE3\x81\xAE\xE3\x83\xAD\xE3\x83\xBC\xE3\x83\xAB"));
        // The log holds the same report, in code page 932: "taroのロール".
        QTRY_VERIFY(dir->Read("game.log").find("taro\x82\xcc\x83\x8d\x81\x5b\x83\x8b") !=
                    std::string::npos);
        QVERIFY(dir->Read("game.log").find("\x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd") !=
                std::string::npos);  // こんにちは
        jiro.CloseInput();
    }

    // Started by a script or left running unattended: --connect joins as tessel.ini says,
    // with no dialog waiting for a person.
    void connectOptionJoinsAsStoredWithoutAsking() {
        test::TempDirectory relayDir, jiroDir;
        test::ChildProcess relay({TESSEL_RELAY_BINARY, "--listen", "127.0.0.1:0"}, relayDir.path());
        const std::string port = test::ListeningPort(relay);
        QVERIFY(!port.empty());
        test::ChildProcess jiro({TESSEL_TERM_BINARY, "--host", "127.0.0.1", "--port", port,
                                 "--handle", "jiro", "--channel", "main"},
                                jiroDir.path());
        QVERIFY(jiro.WaitForOutput(" JOIN #main\n"));

        dir->Write("tessel.ini", "[Settings]\r\nipaddr=127.0.0.1\r\nport=" + port +
                                     "\r\nname=taro\r\nchannel=main\r\nautolog=1\r\n"
                                     "autologname=game.log\r\n");
        test::ChildProcess tessel({TESSEL_BINARY, "--connect"}, dir->path());
        // Said until the client is in the channel to hear it.
        bool heard = false;
        for (int i = 0; i < 100 && !heard; ++i) {
            jiro.Write("anyone there\n");
            QTest::qWait(100);
            heard = dir->Exists("game.log") &&
                    dir->Read("game.log").find("anyone there") != std::string::npos;
        }
        QVERIFY2(heard, tessel.error().c_str());
        QVERIFY(!tessel.Wait(0ms));  // still running, not stopped by a dialog or an error
        jiro.CloseInput();
    }

  private:
    std::unique_ptr<test::TempDirectory> dir;
};

int main(int argc, char** argv) {
    CTesselApp app(argc, argv);
    AppTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "AppTest.moc"
