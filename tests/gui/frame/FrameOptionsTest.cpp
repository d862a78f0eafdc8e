// SPDX-License-Identifier: MIT

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <random>

#include "gui/dialogs/ClientSettingsDialog.h"
#include "gui/dialogs/ColorSettingsDialog.h"
#include "gui/dialogs/ConnectDialog.h"
#include "gui/dialogs/FileReceiveDialog.h"
#include "gui/dialogs/FileSendDialog.h"
#include "gui/dialogs/ModeDialog.h"
#include "gui/dialogs/NotifySettingsDialog.h"
#include "gui/dialogs/PrivateMessageDialog.h"
#include "gui/dialogs/SoundSendDialog.h"
#include "gui/frame/CommandTable.h"
#include "gui/frame/FrameTestSupport.h"
#include "gui/panes/FindBar.h"
#include "gui/panes/TesselDispView.h"
#include "gui/panes/TesselInputView.h"
#include "session/SessionState.h"
#include "support/ChildProcess.h"
#include "support/RelayPort.h"

using namespace tessel;
using namespace tessel::gui;
using namespace tessel::gui::test;
using namespace std::chrono_literals;

namespace {

constexpr int kConnect = 32771, kMode = 32782, kPrivateMessage = 32783, kFileReceive = 32787,
              kFileSend = 32788, kSoundReceive = 32801, kSoundSend = 32802, kColours = 32803,
              kNotify = 32902, kStartLog = 32778, kClientSettings = 32851;

// tessel-relay with a terminal player "jiro" who accepts files, and the frame as "taro".
struct RelayWithJiro : FrameFixture {
    tessel::test::TempDirectory relayDir, jiroDir;
    std::unique_ptr<tessel::test::ChildProcess> relay, jiro;
    QString port;

    void Start() {
        relay = std::make_unique<tessel::test::ChildProcess>(
            std::vector<std::string>{TESSEL_RELAY_BINARY, "--listen", "127.0.0.1:0"},
            relayDir.path());
        port = QString::fromStdString(tessel::test::ListeningPort(*relay));
        QVERIFY(!port.isEmpty());
        std::filesystem::create_directory(jiroDir.dir() + "recv");
        jiroDir.Write("tessel.ini", "[Options]\r\nisrecvfile=1\r\nisrecvwave=1\r\nsavefiledir=" +
                                        jiroDir.dir() + "recv/\r\n");
        jiro = std::make_unique<tessel::test::ChildProcess>(
            std::vector<std::string>{TESSEL_TERM_BINARY, "--host", "127.0.0.1", "--port",
                                     port.toStdString(), "--handle", "jiro", "--channel", "main"},
            jiroDir.path());
        QVERIFY(jiro->WaitForOutput(" JOIN #main\n"));
        Open();
        answer = [this](QDialog& dialog) {
            auto& connect = dynamic_cast<CConnectDialog&>(dialog);
            connect.m_host = "127.0.0.1";
            connect.m_port = port.toInt();
            connect.m_handle = "taro";
            connect.m_channel = "main";
            return int(QDialog::Accepted);
        };
        QVERIFY(frame->RunCommand(kConnect));
        QTRY_VERIFY_WITH_TIMEOUT(!CurrentChannel().empty(), 10000);
        // jiro's arrival is in the user table once the list has come.
        QTRY_VERIFY_WITH_TIMEOUT(frame->KnownHandles().contains("jiro"), 10000);
    }
};

std::string Bytes(std::size_t size) {
    std::string data(size, '\0');
    std::mt19937 random(static_cast<unsigned>(size));
    for (char& c : data) {
        c = static_cast<char>(random());
    }
    return data;
}

}  // namespace

// The options menu and the dialogs of the command menu that remember a choice.
class FrameOptionsTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { ResetConnectionState(); }

    void soundSwitchTogglesItsSettingAndCheckMark() {
        FrameFixture f;
        f.Open();
        QVERIFY(!f.frame->Action(kSoundReceive)->isChecked());
        QVERIFY(f.frame->RunCommand(kSoundReceive));
        QVERIFY(f.frame->Action(kSoundReceive)->isChecked());
        QCOMPARE(f.settings->GetInt(SettingKey::isrecvwave), 1);
        QVERIFY(f.frame->RunCommand(kSoundReceive));
        QVERIFY(!f.frame->Action(kSoundReceive)->isChecked());
        QCOMPARE(f.settings->GetInt(SettingKey::isrecvwave), 0);
    }

    void receiveDirectory_data() {
        QTest::addColumn<int>("accept");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<bool>("checked");
        QTest::newRow("accept adds the separator")
            << 1 << "/tmp/in" << QByteArray("/tmp/in/") << true;
        QTest::newRow("accept keeps one separator")
            << 1 << "/tmp/in/" << QByteArray("/tmp/in/") << true;
        QTest::newRow("refuse keeps the text") << 0 << "/tmp/in" << QByteArray("/tmp/in") << false;
    }
    void receiveDirectory() {
        QFETCH(int, accept);
        QFETCH(QString, typed);
        QFETCH(QByteArray, stored);
        QFETCH(bool, checked);
        FrameFixture f;
        f.Open();
        f.answer = [&](QDialog& dialog) {
            auto& receive = dynamic_cast<CFileReceiveDialog&>(dialog);
            receive.m_directory = typed;
            receive.m_accept = accept;
            return int(QDialog::Accepted);
        };
        QVERIFY(f.frame->RunCommand(kFileReceive));
        QCOMPARE(QByteArray::fromStdString(f.settings->GetString(SettingKey::savefiledir)), stored);
        QCOMPARE(f.settings->GetInt(SettingKey::isrecvfile), accept);
        QCOMPARE(f.frame->Action(kFileReceive)->isChecked(), checked);
    }

    void modeDialogStartsFromTheDiceMode() {
        FrameFixture f;
        f.Open();
        SetConnection(0, 0, 1);
        f.frame->UpdateCommandState();
        int offered = -2;
        f.answer = [&](QDialog& dialog) {
            offered = dynamic_cast<CModeDialog&>(dialog).m_mode;
            return int(QDialog::Rejected);
        };
        SetOpenDice(1);
        QVERIFY(f.frame->RunCommand(kMode));
        QCOMPARE(offered, 0);
        SetOpenDice(0);
        QVERIFY(f.frame->RunCommand(kMode));
        QCOMPARE(offered, 1);
        SetOpenDice(1);
    }

    void privateMessageOffersTheUsersAndKeepsTheTarget() {
        RelayWithJiro f;
        f.Start();
        QStringList offered;
        QString preselected;
        f.answer = [&](QDialog& dialog) {
            auto& message = dynamic_cast<CPrivateMessageDialog&>(dialog);
            offered = message.m_handles;
            preselected = message.m_destination;
            message.m_destination = "jiro";
            message.m_message = QString::fromUtf8("内緒の話");
            return int(QDialog::Accepted);
        };
        QVERIFY(f.frame->RunCommand(kPrivateMessage));
        QVERIFY(offered.contains("jiro") && offered.contains("taro"));
        QCOMPARE(preselected, QString("*"));
        QCOMPARE(f.frame->LastTarget(), QString("jiro"));
        QVERIFY(f.jiro->WaitForOutput("\xE5\x86\x85\xE7\xB7\x92\xE3\x81\xAE\xE8\xA9\xB1"));
        QVERIFY(f.frame->RunCommand(kPrivateMessage));
        QCOMPARE(preselected, QString("jiro"));
    }

    // The four call strings come back after a restart, each in its own box.
    void notifyStringsSurviveARestart() {
        FrameFixture f;
        f.Open();
        const QStringList strings{"taro", QString::fromUtf8("太郎"), "GM",
                                  QString::fromUtf8("全員")};
        f.answer = [&](QDialog& dialog) {
            auto& notify = dynamic_cast<CNotifySettingsDialog&>(dialog);
            notify.m_notifyString1 = strings[0];
            notify.m_notifyString2 = strings[1];
            notify.m_notifyString3 = strings[2];
            notify.m_notifyString4 = strings[3];
            notify.m_mode = 1;
            return int(QDialog::Accepted);
        };
        QVERIFY(f.frame->RunCommand(kNotify));
        f.Close();
        f.Open();
        QStringList shown;
        f.answer = [&](QDialog& dialog) {
            auto& notify = dynamic_cast<CNotifySettingsDialog&>(dialog);
            shown = {notify.m_notifyString1, notify.m_notifyString2, notify.m_notifyString3,
                     notify.m_notifyString4};
            return int(QDialog::Rejected);
        };
        QVERIFY(f.frame->RunCommand(kNotify));
        QCOMPARE(shown, strings);
    }

    // New colours reach the running display pane at once and are written display first, in
    // the order the colour keys are listed.
    void coloursApplyAtOnceAndAreStoredInOrder() {
        FrameFixture f;
        f.Open();
        f.answer = [](QDialog& dialog) {
            auto& colours = dynamic_cast<CColorSettingsDialog&>(dialog);
            colours.m_dispColor = 0x102030;
            colours.m_dispBkColor = 0x405060;
            colours.m_dispNameColor = 0x0000FF;
            return int(QDialog::Accepted);
        };
        QVERIFY(f.frame->RunCommand(kColours));
        QCOMPARE(f.frame->DisplayView()->Colours().text, 0x102030);
        QCOMPARE(f.frame->DisplayView()->Colours().background, 0x405060);
        QCOMPARE(f.frame->DisplayView()->Colours().name, 0x0000FF);
        const std::string ini = f.dir.Read("tessel.ini");
        std::size_t last = 0;
        for (const char* key : {"dispcolor=", "dispnamecolor=", "dispsyscolor=", "dispdicecolor=",
                                "dispbkcolor=", "inputcolor=", "inputbkcolor=", "usercolor=",
                                "userbkcolor=", "memocolor=", "memobkcolor="}) {
            const std::size_t at = ini.find(std::string("\n") + key);
            QVERIFY2(at != std::string::npos && at >= last, key);
            last = at;
        }
    }

    // A sound request goes both ways through the relay: the other player's typed "s" form
    // reaches the frame's sound player once receiving is on (the file is absent, so nothing is
    // loaded or played), and the frame's sound send reaches the other player.
    void soundRequestsTravelBothWays() {
        RelayWithJiro f;
        f.Start();
        QSignalSpy played(&f.frame->Sound(), &QtSoundPlayer::requestHandled);
        QVERIFY(f.frame->RunCommand(kSoundReceive));
        f.jiro->Write("s fanfare\n");
        QTRY_COMPARE_WITH_TIMEOUT(played.count(), 1, 10000);

        f.answer = [](QDialog& dialog) {
            auto& send = dynamic_cast<CSoundSendDialog&>(dialog);
            send.m_destination = "jiro";
            send.m_sound = "door.wav";
            return int(QDialog::Accepted);
        };
        QVERIFY(f.frame->RunCommand(kSoundSend));
        QVERIFY(f.jiro->WaitForOutput("door.wav"));
    }

    // Files reach the other player byte for byte while the window keeps running; a file over
    // the limit is refused with a message and nothing is sent.
    void fileSendThroughTheRelay() {
        RelayWithJiro f;
        f.Start();
        for (const std::size_t size : {700u, 1024u, 1500u, 32768u, 32769u}) {
            const std::string name = "f" + std::to_string(size) + ".bin";
            const std::string data = Bytes(size);
            f.dir.Write(name, data);
            f.answer = [&](QDialog& dialog) {
                auto& send = dynamic_cast<CFileSendDialog&>(dialog);
                send.m_destination = "jiro";
                send.m_path = QString::fromStdString(f.dir.dir() + name);
                return int(QDialog::Accepted);
            };
            QVERIFY(f.frame->RunCommand(kFileSend));
            if (size > 32768) {
                QVERIFY(f.frame->statusBar()->currentMessage().contains("32768"));
                continue;
            }
            QTRY_VERIFY_WITH_TIMEOUT(f.jiroDir.Read("recv/" + name) == data, 15000);
            QTRY_VERIFY_WITH_TIMEOUT(
                f.frame->statusBar()->currentMessage().contains(QString::fromUtf8("送信しました")),
                15000);
        }
        QVERIFY(!f.jiroDir.Exists("recv/f32769.bin"));
        QCOMPARE(f.settings->GetString(SettingKey::prevsendfile), f.dir.dir() + "f32768.bin");
    }

    // A peer's pieces named after the program's own files (the settings, the key file, the
    // open log) never replace them, even with the working directory as the receive directory;
    // an ordinary file from the same peer still arrives.
    void aPeerCannotReplaceTheProgramsOwnFiles() {
        RelayWithJiro f;
        f.dir.Write("tessel.key", "F1=hello\r\n");
        f.Start();
        f.answer = [&](QDialog& dialog) {
            auto& receive = dynamic_cast<CFileReceiveDialog&>(dialog);
            receive.m_directory = QString::fromStdString(f.dir.dir());
            receive.m_accept = 1;
            return int(QDialog::Accepted);
        };
        QVERIFY(f.frame->RunCommand(kFileReceive));
        f.chosenLogFile = QString::fromStdString(f.dir.dir()) + "chat.log";
        QVERIFY(f.frame->RunCommand(kStartLog));
        const std::string ini = f.dir.Read("tessel.ini");
        const std::string key = f.dir.Read("tessel.key");

        RawRelayPeer peer(f.port.toInt());
        QVERIFY(peer.connected());
        peer.Request("OPEN 127.0.0.1 evil");
        peer.Request("JOIN #main");
        for (const char* name : {"tessel.ini", "tessel.key", "chat.log", "arrived.txt"}) {
            peer.Request("SENDMESG taro", std::string("CC FILESEND ") + name + " 255 5\nEVIL!");
        }
        QTRY_COMPARE_WITH_TIMEOUT(f.dir.Read("arrived.txt"), std::string("EVIL!"), 10000);
        QCOMPARE(f.dir.Read("tessel.ini"), ini);
        QCOMPARE(f.dir.Read("tessel.key"), key);
        QVERIFY(f.dir.Read("chat.log").find("EVIL!") == std::string::npos);
        QVERIFY(f.frame->Log().IsLogging());
    }

    // A file in a folder with a Japanese name goes out byte for byte under its Japanese name;
    // one that cannot be read is reported and nothing starts.
    void aFileFromAJapaneseFolderArrivesWhole() {
        RelayWithJiro f;
        f.Start();
        const std::string folder = f.dir.dir() + "\xE5\x9C\xB0\xE5\x9B\xB3/";  // 地図
        std::filesystem::create_directory(folder);
        const std::string name = "\xE6\xB4\x9E\xE7\xAA\x9F.bin";  // 洞窟.bin
        const std::string data = Bytes(1500);
        std::ofstream(folder + name, std::ios::binary) << data;
        QString path = QString::fromStdString(folder + name);
        f.answer = [&](QDialog& dialog) {
            auto& send = dynamic_cast<CFileSendDialog&>(dialog);
            send.m_destination = "jiro";
            send.m_path = path;
            return int(QDialog::Accepted);
        };
        QVERIFY(f.frame->RunCommand(kFileSend));
        QTRY_VERIFY_WITH_TIMEOUT(f.jiroDir.Read("recv/" + name) == data, 15000);
        QTRY_VERIFY_WITH_TIMEOUT(
            f.frame->statusBar()->currentMessage().contains(QString::fromUtf8("送信しました")),
            15000);

        path = QString::fromStdString(folder + "missing.bin");
        QVERIFY(f.frame->RunCommand(kFileSend));
        QVERIFY(f.frame->statusBar()->currentMessage().contains(QString::fromUtf8("読めません")));
        QVERIFY(!f.frame->Core().FileSendBusy());
    }

    // Confirming the client settings with no scope checked stores -1.
    void clientSettingsWithNoScopeStoreMinusOne() {
        FrameFixture f;
        f.Open();
        f.answer = [](QDialog& dialog) {
            for (QRadioButton* button : dialog.findChildren<QRadioButton*>()) {
                button->setAutoExclusive(false);
                button->setChecked(false);
            }
            dynamic_cast<CTesselDialog&>(dialog).OnOK();
            return dialog.result();
        };
        QVERIFY(f.frame->RunCommand(kClientSettings));
        QCOMPARE(f.settings->GetInt(SettingKey::userview), -1);
    }

    // The kept lines go through the client settings dialog to the setting and the pane; an
    // unchanged count leaves the file without the key.
    void clientSettingsCarryTheKeptLines_data() {
        QTest::addColumn<int>("typed");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<int>("kept");
        QTest::addColumn<bool>("written");
        QTest::newRow("unchanged") << 50 << true << 50 << false;
        QTest::newRow("more lines") << 20000 << true << 20000 << true;
        QTest::newRow("the most") << 100000 << true << 100000 << true;
        QTest::newRow("cancelled") << 20000 << false << 50 << false;
    }
    void clientSettingsCarryTheKeptLines() {
        QFETCH(int, typed);
        QFETCH(bool, confirmed);
        QFETCH(int, kept);
        QFETCH(bool, written);
        FrameFixture f;
        f.Open();
        int offered = -1;
        f.answer = [&](QDialog& dialog) {
            auto& client = dynamic_cast<CClientSettingsDialog&>(dialog);
            offered = client.m_lines;
            client.m_lines = typed;
            return int(confirmed ? QDialog::Accepted : QDialog::Rejected);
        };
        QVERIFY(f.frame->RunCommand(kClientSettings));
        QCOMPARE(offered, 50);
        QCOMPARE(f.frame->DisplayView()->KeptLines(), kept);
        QCOMPARE(f.settings->GetInt(SettingKey::displaylines), kept);
        QCOMPARE(f.dir.Read("tessel.ini").find("displaylines") != std::string::npos, written);
        // The next time the dialog offers what is in force.
        QVERIFY(f.frame->RunCommand(kClientSettings));
        QCOMPARE(offered, kept);
    }

    // Ctrl+F opens the find bar from any pane; it is none of the classic accelerators, and
    // those still run from inside the find field.
    void ctrlFOpensTheFindBarAndLeavesTheAcceleratorsAlone() {
        for (const Accelerator& accelerator : kAccelerators) {
            QVERIFY(accelerator.keys != QKeyCombination(Qt::ControlModifier, Qt::Key_F));
        }
        FrameFixture f;
        f.Open();
        f.Show(640, 480);
        CFindBar* bar = f.frame->DisplayView()->FindBar();
        QVERIFY(bar->isHidden());
        f.frame->InputView()->setFocus();
        QTest::keyClick(f.frame->InputView(), Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QVERIFY(bar->Field()->hasFocus());
        QVERIFY(f.frame->InputView()->toPlainText().isEmpty());
        const QList<QAction*> menus = f.frame->menuBar()->actions();
        QCOMPARE(menus[1]->menu()->actions().last(), f.frame->FindAction());

        SetConnection(0, 0, 1);
        f.frame->UpdateCommandState();
        QTest::keyClick(bar->Field(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(f.dialogsOpened, std::vector<QString>{"tessel::gui::CRollDialog"});
        QVERIFY(bar->Field()->text().isEmpty());
        SetConnection(0, 0, 0);
    }
};

QTEST_MAIN(FrameOptionsTest)
#include "FrameOptionsTest.moc"
