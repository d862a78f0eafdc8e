// SPDX-License-Identifier: MIT

#include <QAction>
#include <QFontInfo>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <set>

#include "gui/dialogs/FontSettingsDialog.h"
#include "gui/dialogs/RollDialog.h"
#include "gui/frame/CommandTable.h"
#include "gui/frame/FrameTestSupport.h"
#include "gui/frame/FrameTitle.h"
#include "gui/panes/MemoView.h"
#include "gui/panes/TesselInputView.h"
#include "gui/platform/FontSubstitution.h"

using namespace tessel;
using namespace tessel::gui;
using namespace tessel::gui::test;

namespace {

constexpr int kConnect = 32771, kHandle = 32772, kJoin = 32773, kDisconnect = 32774;
constexpr int kRoll = 32781, kUserList = 32784, kFileSend = 32788, kQuick1d6 = 32789;
constexpr int kCtrlShiftA = 32824, kF1 = 32904, kShiftF12 = 32927, kStartLog = 32778;
constexpr int kStopLog = 32777, kFonts = 32800, kAbout = 57664;

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace

// The command table: menus, keys and the rules of each connection state.
class FrameCommandTest : public QObject {
    Q_OBJECT

  private slots:
    void cleanup() { ResetConnectionState(); }

    void acceleratorsAreUniqueAndComplete() {
        std::set<int> keys;
        for (const Accelerator& accelerator : kAccelerators) {
            QVERIFY2(keys.insert(accelerator.keys.toCombined()).second,
                     qPrintable(QKeySequence(accelerator.keys).toString()));
        }
        QCOMPARE(keys.size(), std::size_t{91});
    }

    void quickRolls_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("sides");
        QTest::newRow("Ctrl+1") << 32789 << 1 << 6;
        QTest::newRow("Ctrl+3") << 32791 << 3 << 6;
        QTest::newRow("Ctrl+9") << 32797 << 9 << 6;
        QTest::newRow("Ctrl+0") << 32804 << 1 << 100;
        QTest::newRow("Ctrl+Q") << 32808 << 1 << 4;
        QTest::newRow("Ctrl+E") << 32810 << 1 << 8;
        QTest::newRow("Ctrl+S") << 32812 << 1 << 12;
        QTest::newRow("Ctrl+D") << 32813 << 1 << 20;
    }
    void quickRolls() {
        QFETCH(int, id);
        QFETCH(int, count);
        QFETCH(int, sides);
        const std::optional<QuickRoll> roll = QuickRollOf(id);
        QVERIFY(roll.has_value());
        QCOMPARE(roll->count, count);
        QCOMPARE(roll->sides, sides);
    }

    void enableRules_data() {
        QTest::addColumn<int>("connecting");
        QTest::addColumn<int>("pending");
        QTest::addColumn<int>("connected");
        QTest::addColumn<bool>("connect");
        QTest::addColumn<bool>("disconnect");
        QTest::addColumn<bool>("online");
        QTest::newRow("offline") << 0 << 0 << 0 << true << false << false;
        QTest::newRow("connect call running") << 1 << 1 << 0 << false << false << false;
        QTest::newRow("attempt outstanding") << 0 << 1 << 0 << false << true << false;
        QTest::newRow("connected") << 0 << 0 << 1 << false << true << true;
    }
    void enableRules() {
        QFETCH(int, connecting);
        QFETCH(int, pending);
        QFETCH(int, connected);
        QFETCH(bool, connect);
        QFETCH(bool, disconnect);
        QFETCH(bool, online);
        FrameFixture f;
        f.Open();
        SetConnection(connecting, pending, connected);
        f.frame->UpdateCommandState();
        QCOMPARE(f.frame->Action(kConnect)->isEnabled(), connect);
        QCOMPARE(f.frame->Action(kDisconnect)->isEnabled(), disconnect);
        for (int id : {kHandle, kJoin, kRoll, kUserList, kFileSend, kQuick1d6, kCtrlShiftA, kF1,
                       kShiftF12}) {
            QVERIFY2(f.frame->Action(id)->isEnabled() == online, qPrintable(QString::number(id)));
            QCOMPARE(f.frame->IsCommandEnabled(id), online);
        }
        for (int id : {kStartLog, kFonts, kAbout}) {
            QVERIFY(f.frame->Action(id)->isEnabled());
        }
        QVERIFY(!f.frame->Action(kStopLog)->isEnabled());  // no log open
    }

    // The rules follow the connection thread's phase changes without any command being run.
    void rulesFollowThePhaseByThemselves() {
        FrameFixture f;
        f.Open();
        QVERIFY(!f.frame->Action(kRoll)->isEnabled());
        SetConnection(0, 0, 1);
        f.frame->FrontEnd().ConnectionPhaseChanged();
        QTRY_VERIFY(f.frame->Action(kRoll)->isEnabled());
        SetConnection(0, 0, 0);
        f.frame->FrontEnd().ConnectionPhaseChanged();
        QTRY_VERIFY(!f.frame->Action(kRoll)->isEnabled());
    }

    void disabledAcceleratorIsIgnored() {
        FrameFixture f;
        f.Open();
        f.Show(640, 480);
        f.frame->InputView()->setFocus();
        QTest::keyClick(f.frame->InputView(), Qt::Key_R, Qt::ControlModifier);
        QVERIFY(f.dialogsOpened.empty());
        // Offline, Ctrl+A is a disabled quick roll: it does nothing, not the pane's select-all.
        f.frame->InputView()->insertPlainText("abc");
        QTest::keyClick(f.frame->InputView(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(!f.frame->InputView()->textCursor().hasSelection());
        QVERIFY(!f.frame->RunCommand(kRoll));
        QVERIFY(f.dialogsOpened.empty());

        // The same key while connected opens the roll dialog, from inside the input pane,
        // which would otherwise keep Ctrl+R and Ctrl+A for itself.
        SetConnection(0, 0, 1);
        f.frame->UpdateCommandState();
        QTest::keyClick(f.frame->InputView(), Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(f.dialogsOpened, std::vector<QString>{"tessel::gui::CRollDialog"});
    }

    void menusCarryEveryItem() {
        FrameFixture f;
        f.Open();
        const QList<QAction*> menus = f.frame->menuBar()->actions();
        QStringList captions;
        for (QAction* menu : menus) {
            captions << menu->text();
        }
        QCOMPARE(captions,
                 QStringList({U("ファイル(&F)"), U("編集(&E)"), U("接続(&C)"), U("コマンド(&X)"),
                              U("オプション(&O)"), U("カスタマイズ(&V)"), U("ヘルプ(&H)")}));
        QStringList file;
        for (QAction* item : menus[0]->menu()->actions()) {
            file << (item->isSeparator() ? QStringLiteral("-") : item->text());
        }
        QCOMPARE(file, QStringList({U("ログを取る...(&L)"), U("自動ログ(&A)"), U("ログの停止(&S)"),
                                    U("HTMLログも取る(&M)"), U("セッションをHTMLで保存...(&H)"),
                                    "-", U("メモの読み込み(&O)"), U("メモの保存(&R)"), "-",
                                    U("ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)")}));
        QCOMPARE(f.frame->Action(kRoll)->statusTip(), U("ダイスロール"));
        QCOMPARE(f.frame->Action(kRoll)->toolTip(), U("ダイスを振る"));
        QCOMPARE(f.frame->findChild<QToolBar*>()->actions().size(), 14);
    }

    void title_data() {
        QTest::addColumn<bool>("logging");
        QTest::addColumn<QByteArray>("handle");
        QTest::addColumn<QByteArray>("channel");
        QTest::addColumn<QString>("title");
        QTest::newRow("nothing yet") << false << QByteArray() << QByteArray() << U("tessel   　　");
        QTest::newRow("handle only")
            << false << QByteArray("taro") << QByteArray() << U("tessel   　　taro");
        QTest::newRow("handle and channel") << false << QByteArray("taro") << QByteArray("#main")
                                            << U("tessel   　　taro  :  in #main");
        QTest::newRow("logging") << true << QByteArray("taro") << QByteArray("#main")
                                 << U("tessel   Ｌ　taro  :  in #main");
        QTest::newRow("Japanese handle")
            << false << QByteArray("\x91\xbe\x98\x59") << QByteArray() << U("tessel   　　太郎");
    }
    void title() {
        QFETCH(bool, logging);
        QFETCH(QByteArray, handle);
        QFETCH(QByteArray, channel);
        QFETCH(QString, title);
        QCOMPARE(FrameTitle(logging, handle.toStdString(), channel.toStdString()), title);
    }

    // The frame follows the session: the core's title refresh redraws it.
    void titleFollowsTheSession() {
        FrameFixture f;
        f.Open();
        QCOMPARE(f.frame->windowTitle(), U("tessel   　　"));
        SetCurrentHandle("taro");
        f.frame->FrontEnd().TitleRefresh();
        QTRY_COMPARE(f.frame->windowTitle(), U("tessel   　　taro"));
        SetCurrentChannel("#dice");
        f.frame->FrontEnd().TitleRefresh();
        QTRY_COMPARE(f.frame->windowTitle(), U("tessel   　　taro  :  in #dice"));
        ResetConnectionState();
        f.frame->FrontEnd().TitleRefresh();
        QTRY_COMPARE(f.frame->windowTitle(), U("tessel   　　"));
    }

    // A face stored on another system draws with an installed Japanese face; the setting
    // keeps its name.
    void missingStoredFaceIsSubstituted() {
        const QString fallback = JapaneseFallbackFamily();
        if (fallback.isEmpty()) {
            QFAIL("no Japanese font installed (scripts/install-deps installs one)");
        }
        FrameFixture f;
        f.dir.Write("tessel.ini", "[WindowStyle]\r\ninputfontname=Tessel Missing Face\r\n");
        f.Open();
        QCOMPARE(QFontInfo(f.frame->InputView()->font()).family(), fallback);
        QCOMPARE(f.settings->GetString(SettingKey::inputfontname), "Tessel Missing Face");
    }

    // The font picker starts on the face the pane shows; a new size alone keeps the stored
    // face, and no stand-in face reaches the menu bar.
    void fontPickerStartsOnTheShownFace() {
        const QString fallback = JapaneseFallbackFamily();
        if (fallback.isEmpty()) {
            QFAIL("no Japanese font installed (scripts/install-deps installs one)");
        }
        FrameFixture f;
        f.dir.Write("tessel.ini", "[WindowStyle]\r\nfontname=Tessel Missing Face\r\n");
        f.Open();
        const QString menuFace = QFontInfo(f.frame->menuBar()->font()).family();
        QString offered;
        f.answer = [&](QDialog& dialog) {
            auto& fonts = dynamic_cast<CFontSettingsDialog&>(dialog);
            fonts.m_chooseFont = [&](QWidget*, const QFont& initial) -> std::optional<QFont> {
                offered = initial.family();
                QFont bigger = initial;
                bigger.setPointSize(20);
                return bigger;
            };
            fonts.DisplayButton()->click();
            return int(QDialog::Accepted);
        };
        QVERIFY(f.frame->RunCommand(kFonts));
        QCOMPARE(offered, fallback);
        QCOMPARE(f.settings->GetString(SettingKey::fontname), "Tessel Missing Face");
        QCOMPARE(f.settings->GetInt(SettingKey::fontsize), 200);
        QCOMPARE(QFontInfo(f.frame->menuBar()->font()).family(), menuFace);
    }

    // A line that calls the user reaches the desktop when that is switched on and the window
    // is not the active one; an unswitched setting and the user's own lines never do.
    void callReachesTheDesktop_data() {
        QTest::addColumn<int>("desktopNotify");
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("notes");
        QTest::newRow("switched on, another player") << 1 << "jiro" << 1;
        QTest::newRow("switched off") << 0 << "jiro" << 0;
        QTest::newRow("own line") << 1 << "taro" << 0;
    }
    void callReachesTheDesktop() {
        QFETCH(int, desktopNotify);
        QFETCH(QString, from);
        QFETCH(int, notes);
        FrameFixture f;
        f.dir.Write("tessel.ini",
                    "[Options]\r\nisnotify=1\r\nnotifystring1=taro\r\ndesktopnotify=" +
                        std::to_string(desktopNotify) + "\r\n");
        f.Open();
        SetCurrentHandle("taro");
        f.frame->Core().Display().PostDisplayItem(
            {from.toStdString(), "taro, roll initiative\r\n", DisplayKind::Chat, 0, {}});
        QTRY_COMPARE(f.frame->Core().Display().size(), std::size_t{0});
        QCOMPARE(int(f.desktopNotes.size()), notes);
        if (notes > 0) {
            QCOMPARE(f.desktopNotes.front(), (QStringList{"jiro", "taro, roll initiative"}));
        }
    }

    void focusToggleSwitchesBetweenInputAndMemo() {
        FrameFixture f;
        f.Open();
        f.Show(640, 480);
        f.frame->activateWindow();
        f.frame->InputView()->setFocus();
        QTRY_VERIFY(f.frame->InputView()->hasFocus());
        QTest::keyClick(f.frame->InputView(), Qt::Key_Tab, Qt::ControlModifier);
        QTRY_VERIFY(f.frame->MemoView()->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
        QTRY_VERIFY(f.frame->InputView()->hasFocus());
    }
};

QTEST_MAIN(FrameCommandTest)
#include "FrameCommandTest.moc"
