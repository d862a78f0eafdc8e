// SPDX-License-Identifier: MIT

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "connection/ConnectionState.h"
#include "gui/app/TesselApp.h"
#include "gui/dialogs/ConnectDialog.h"
#include "gui/frame/MainFrame.h"
#include "gui/panes/TesselDispView.h"
#include "gui/panes/TesselInputView.h"
#include "support/ChildProcess.h"
#include "support/RelayPort.h"
#include "support/TempDirectory.h"

using namespace tessel;
using namespace tessel::gui;

namespace {

// The words of the Exec line of a desktop entry (ours has no quoting and no field codes).
std::vector<std::string> ExecWords(const std::string& desktopFile) {
    std::ifstream in(desktopFile);
    std::vector<std::string> words;
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with("Exec=")) {
            std::istringstream split(line.substr(5));
            for (std::string word; split >> word;) {
                words.push_back(word);
            }
        }
    }
    return words;
}

// Every file beneath `root`, relative to it.
std::vector<std::string> FilesUnder(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (!entry.is_directory()) {
            files.push_back(std::filesystem::relative(entry.path(), root).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

void Retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// The connect dialog, answered once it is on screen.
struct DialogDriver {
    std::function<void(CConnectDialog&)> act;
    bool seen = false;

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
        act(*dialog);
    }
};

}  // namespace

// The desktop client started the way its menu entry starts it, by a new user: an empty home
// directory, no XDG variables, the home directory as the working directory. A whole session
// later, everything it wrote is in its folder under the XDG data directory.
class MenuStartTest : public QObject {
    Q_OBJECT

  public:
    explicit MenuStartTest(std::string home) : home_(std::move(home)) {}

  private slots:
    void sessionWritesOnlyInTheDataFolder() {
        const std::string folder = home_ + "/.local/share/tessel";
        QVERIFY(!std::filesystem::exists(folder));
        test::TempDirectory relayDir, jiroDir;
        test::ChildProcess relay({TESSEL_RELAY_BINARY, "--listen", "127.0.0.1:0", "--seed", "3"},
                                 relayDir.path());
        const std::string port = test::ListeningPort(relay);
        QVERIFY(!port.empty());
        test::ChildProcess jiro({TESSEL_TERM_BINARY, "--host", "127.0.0.1", "--port", port,
                                 "--handle", "jiro", "--channel", "main"},
                                jiroDir.path());
        QVERIFY(jiro.WaitForOutput(" JOIN #main\n"));

        DialogDriver driver;
        driver.act = [port](CConnectDialog& dialog) {
            Retype(dialog.HostEdit(), "127.0.0.1");
            Retype(dialog.PortEdit(), QString::fromStdString(port));
            Retype(dialog.HandleEdit(), "taro");
            Retype(dialog.ChannelEdit(), "main");
            QTest::keyClick(dialog.ChannelEdit(), Qt::Key_Return);
        };
        driver.Arm();
        auto* app = qobject_cast<CTesselApp*>(qApp);
        QVERIFY(app->InitInstance());
        QVERIFY(driver.seen);
        // The folder was made at start and is the user's alone.
        struct stat info {};
        QCOMPARE(::stat(folder.c_str(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0700u);
        QCOMPARE(std::filesystem::current_path(), std::filesystem::path(folder));

        CMainFrame* frame = app->MainFrame();
        QTRY_VERIFY_WITH_TIMEOUT(frame->windowTitle().endsWith("taro  :  in #main"), 10000);
        QTRY_VERIFY(frame->InputView()->hasFocus());
        QTest::keyClicks(frame->InputView(), "hello from the menu");
        QTest::keyClick(frame->InputView(), Qt::Key_Return);
        QVERIFY(jiro.WaitForOutput("hello from the menu"));
        jiro.CloseInput();
        frame->close();  // the window's geometry is written as it closes

        // Settings are in the folder, and nothing at all anywhere else in the home directory.
        std::ifstream in(folder + "/tessel.ini", std::ios::binary);
        const std::string ini(std::istreambuf_iterator<char>(in), {});
        QVERIFY2(ini.find("name=taro\r\n") != std::string::npos, ini.c_str());
        QVERIFY2(ini.find("port=" + port + "\r\n") != std::string::npos, ini.c_str());
        const std::vector<std::string> written = FilesUnder(home_);
        QVERIFY(std::find(written.begin(), written.end(), ".local/share/tessel/tessel.ini") !=
                written.end());
        for (const std::string& file : written) {
            QVERIFY2(file.starts_with(".local/share/tessel/"),
                     ("written outside the data folder: " + file).c_str());
        }
        QVERIFY(!std::filesystem::exists(home_ + "/tessel.ini"));
    }

  private:
    std::string home_;
};

int main(int argc, char** argv) {
    // Held until the process ends: the home directory must outlive the application.
    static const test::TempDirectory home;
    ::setenv("HOME", home.path().c_str(), 1);
    for (const char* variable :
         {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"}) {
        ::unsetenv(variable);
    }
    if (::chdir(home.path().c_str()) != 0) {
        return 1;
    }
    std::vector<std::string> words = ExecWords(TESSEL_DESKTOP_ENTRY);
    if (words.empty() || words.front() != "tessel") {
        std::fprintf(stderr, "no 'Exec=tessel ...' line in %s\n", TESSEL_DESKTOP_ENTRY);
        return 1;
    }
    std::vector<char*> appArgv;
    for (std::string& word : words) {
        appArgv.push_back(word.data());
    }
    appArgv.push_back(nullptr);
    int appArgc = static_cast<int>(words.size());
    ResetConnectionState();
    CTesselApp app(appArgc, appArgv.data());
    MenuStartTest test(home.path());
    return QTest::qExec(&test, argc, argv);
}

#include "MenuStartTest.moc"
