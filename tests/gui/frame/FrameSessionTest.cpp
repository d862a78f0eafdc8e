// SPDX-License-Identifier: MIT

#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>

#include "gui/dialogs/ConnectDialog.h"
#include "gui/dialogs/RollDialog.h"
#include "gui/frame/FrameTestSupport.h"
#include "gui/panes/TesselInputView.h"
#include "support/LoopbackPeer.h"
#include "support/TypedLineCases.h"

using namespace tessel;
using namespace tessel::gui;
using namespace tessel::gui::test;
using namespace std::chrono_literals;

namespace {

constexpr int kConnect = 32771, kRoll = 32781;

// Every request carries the running message number in its ID; two requests for the same
// thing differ only there.
QString WithoutSequence(const std::string& wire) {
    QString text = QString::fromLatin1(wire.data(), static_cast<qsizetype>(wire.size()));
    text.replace(QRegularExpression(QStringLiteral("(ID: [a-z]\\d{3})\\d{5}")),
                 QStringLiteral("\\1#####"));
    return text;
}

// A frame connected through its connect dialog to a loopback peer standing in for the server.
struct ConnectedFrame : FrameFixture {
    tessel::test::LoopbackPeer peer;
    std::size_t seen = 0;

    void Connect(const QString& handle, const QString& channel) {
        Open();
        Show(640, 480);
        answer = [&](QDialog& dialog) {
            auto& connect = dynamic_cast<CConnectDialog&>(dialog);
            connect.m_host = "127.0.0.1";
            connect.m_port = peer.port();
            connect.m_handle = handle;
            connect.m_channel = channel;
            return int(QDialog::Accepted);
        };
        QVERIFY(frame->RunCommand(kConnect));
        QVERIFY(peer.Accept());
        QTRY_COMPARE(IsConnected(), 1);
    }

    // The bytes that arrived since the last call, once `marker` is among them.
    std::string Next(std::string_view marker) {
        std::string all;
        for (int i = 0; i < 100; ++i) {  // keep the GUI thread turning while the peer waits
            QCoreApplication::processEvents();
            all = peer.ReadAtLeast(all.size() + 1, 50ms);
            if (all.find(marker, seen) != std::string::npos) {
                break;
            }
        }
        std::string fresh = all.substr(seen);
        seen = all.size();
        return fresh;
    }

    void Type(const char* text) {
        frame->InputView()->setFocus();
        QTest::keyClicks(frame->InputView(), text);
        QTest::keyClick(frame->InputView(), Qt::Key_Return);
    }
};

}  // namespace

// The session commands as the server sees them.
class FrameSessionTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { ResetConnectionState(); }

    void connectionUpSendsHandleThenChannel() {
        ConnectedFrame f;
        f.Connect("taro", "main");
        const std::string wire = f.Next("JOIN");
        // OPEN carries the client's own address before the handle.
        const std::size_t open = wire.find("OPEN 127.0.0.1:");
        QVERIFY2(open != std::string::npos, wire.c_str());
        QVERIFY(wire.find(" taro\n", open) < wire.find("JOIN #main"));
        QCOMPARE(f.settings->GetString(SettingKey::name), "taro");
        QCOMPARE(f.settings->GetString(SettingKey::channel), "main");
        QVERIFY(f.frame->Pending().ConnectHandle.empty());
    }

    void withoutAHandleNothingIsRegistered() {
        ConnectedFrame f;
        f.Connect("", "main");
        f.Type("hello");
        const std::string wire = f.Next("hello");
        QVERIFY2(wire.find("OPEN") == std::string::npos, wire.c_str());
        QVERIFY(wire.find("JOIN") == std::string::npos);
    }

    // A quick-roll key sends exactly what typing its command text sends.
    void quickRollKeysSendWhatTypingSends_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("typed");
        QTest::newRow("Ctrl+D") << int(Qt::Key_D) << "ROLL 1 20 0";
        QTest::newRow("Ctrl+0") << int(Qt::Key_0) << "ROLL 1 100 0";
        QTest::newRow("Ctrl+3") << int(Qt::Key_3) << "ROLL 3 6 0";
        QTest::newRow("Ctrl+A") << int(Qt::Key_A) << "ROLL 1 10 0";
    }
    void quickRollKeysSendWhatTypingSends() {
        QFETCH(int, key);
        QFETCH(QString, typed);
        ConnectedFrame f;
        f.Connect("taro", "main");
        f.Next("JOIN");
        f.Type(typed.toLatin1().constData());
        const QString byTyping = WithoutSequence(f.Next("ROLL"));
        QTest::keyClick(f.frame->InputView(), Qt::Key(key), Qt::ControlModifier);
        const QString byKey = WithoutSequence(f.Next("ROLL"));
        QVERIFY(byKey.contains(typed));
        QCOMPARE(byKey, byTyping);
    }

    void rollDialogRemembersItsValuesAndSendsTheRule() {
        ConnectedFrame f;
        f.Connect("taro", "main");
        f.Next("JOIN");
        int offeredCount = 0, offeredSides = 0;
        f.answer = [&](QDialog& dialog) {
            auto& roll = dynamic_cast<CRollDialog&>(dialog);
            offeredCount = roll.m_count;
            offeredSides = roll.m_sides;
            roll.m_count = 3;
            roll.m_sides = 6;
            roll.m_rule = CRollDialog::kRuleBerserk;
            return int(QDialog::Accepted);
        };
        QVERIFY(f.frame->RunCommand(kRoll));
        QVERIFY(QString::fromStdString(f.Next("ROLL")).contains("ROLL 3 6 7"));
        QCOMPARE(offeredCount, 2);
        QCOMPARE(offeredSides, 6);
        QVERIFY(f.frame->RunCommand(kRoll));
        QCOMPARE(offeredCount, 3);
        QCOMPARE(f.frame->RollCount(), 3);
    }

    void macroKeysRunTheKeyFile() {
        ConnectedFrame f;
        f.dir.Write("tessel.key", "f3=GETUSER\r\nA=%1 %2\r\n");
        f.Connect("taro", "main");
        f.Next("JOIN");
        QTest::keyClick(f.frame->InputView(), Qt::Key_F3);
        QVERIFY(QString::fromStdString(f.Next("GETUSER")).contains("GETUSER"));

        QTest::keyClicks(f.frame->InputView(), "hello world");
        QTest::keyClick(f.frame->InputView(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(QString::fromStdString(f.Next("hello world")).contains("hello world"));
        // The words were used: the pane goes on with a fresh line.
        QCOMPARE(f.frame->InputView()->toPlainText(), "hello world\n");

        // Words Shift-JIS cannot hold are refused as Enter refuses them, not sent blank; a
        // macro that takes no words still runs.
        const QString die = QString::fromUtf8("\xF0\x9F\x8E\xB2");
        f.frame->InputView()->insertPlainText("roll " + die);
        QTest::keyClick(f.frame->InputView(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(f.frame->statusBar()->currentMessage().contains(die));
        QTest::keyClick(f.frame->InputView(), Qt::Key_F3);
        const std::string next = f.Next("GETUSER");
        QVERIFY2(next.find("SENDMESG") == std::string::npos, next.c_str());
        QCOMPARE(f.frame->InputView()->toPlainText(), "hello world\nroll " + die);
    }

    // The connect dialog's check box is the autoreconnect key: shown from it, stored when
    // changed, and never written while it stays off.
    void connectDialogKeepsTheReconnectChoice() {
        ConnectedFrame f;
        f.Connect("taro", "main");
        QVERIFY(f.dir.Read("tessel.ini").find("autoreconnect") == std::string::npos);
        // A frame started afresh: its dialog shows the stored choice, and a change is stored.
        const auto connectWith = [&](bool check, int result) {
            f.Close();
            f.Open();
            bool shown = !check;
            f.answer = [&](QDialog& dialog) {
                auto& connect = dynamic_cast<CConnectDialog&>(dialog);
                shown = connect.m_reconnect;
                connect.m_port = f.peer.port();
                connect.m_reconnect = check;
                return result;
            };
            [&] { QVERIFY(f.frame->RunCommand(kConnect)); }();
            return shown;
        };
        QVERIFY(!connectWith(true, QDialog::Accepted));
        QVERIFY(f.dir.Read("tessel.ini").find("autoreconnect=1") != std::string::npos);
        QVERIFY(connectWith(false, QDialog::Rejected));
        QCOMPARE(f.settings->GetInt(SettingKey::autoreconnect), 1);
    }

    // While a line is typed the status bar says what Enter will do with it: the same table
    // the parser's and the description's tests read, through the real input pane.
    void statusBarSaysWhatEnterWillDo() {
        ConnectedFrame f;
        f.Connect("taro", "main");
        tessel::test::SetUpTypedLineState();
        CTesselInputView* input = f.frame->InputView();
        input->setFocus();
        for (const tessel::test::TypedLineCase& c : tessel::test::TypedLineCases()) {
            input->clear();
            input->insertPlainText(QString::fromStdString(c.line));
            const QString expected = c.line.empty() ? QString() : QString::fromStdString(c.preview);
            QVERIFY2(f.frame->statusBar()->currentMessage() == expected, c.name);
        }
        // A refusal comes before Enter; after Enter the refusal itself stays.
        const QString die = QString::fromUtf8("\xF0\x9F\x8E\xB2");
        input->clear();
        QTest::keyClicks(input, "roll ");
        input->insertPlainText(die);
        QVERIFY(f.frame->statusBar()->currentMessage().startsWith("Enter: "));
        QVERIFY(f.frame->statusBar()->currentMessage().contains(die));
        QTest::keyClick(input, Qt::Key_Return);
        QVERIFY(f.frame->statusBar()->currentMessage().contains(die));
        QVERIFY(!f.frame->statusBar()->currentMessage().startsWith("Enter: "));
        // A sent line's preview goes with it.
        QTest::keyClicks(input, "hello");
        QCOMPARE(f.frame->statusBar()->currentMessage(),
                 QString::fromUtf8("Enter: 発言(チャネルの全員へ)"));
        QTest::keyClick(input, Qt::Key_Return);
        QVERIFY(QString::fromStdString(f.Next("hello")).contains("hello"));
        QCOMPARE(f.frame->statusBar()->currentMessage(), QString());
    }
};

QTEST_MAIN(FrameSessionTest)
#include "FrameSessionTest.moc"
