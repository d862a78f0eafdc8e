// SPDX-License-Identifier: MIT

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <thread>

#include "gui/platform/DesktopNotifier.h"
#include "gui/platform/EditorLaunch.h"
#include "gui/platform/FontSubstitution.h"
#include "gui/platform/GuiFrontEnd.h"
#include "gui/platform/QtSoundPlayer.h"
#include "gui/platform/QtTranslations.h"

using namespace tessel::gui;

// The Qt-backed services the core reaches: front-end events, fonts, sounds, the editor.
class PlatformServicesTest : public QObject {
    Q_OBJECT

  private slots:
    // A peer's text reaches a notification service that reads markup as the peer typed it.
    void notificationBodiesAreText_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("body");
        QTest::newRow("plain") << "taro, roll"
                               << "taro, roll";
        QTest::newRow("tags") << "<b>taro</b>"
                              << "&lt;b&gt;taro&lt;/b&gt;";
        QTest::newRow("link") << "<a href=\"x\">x</a>"
                              << "&lt;a href=\"x\"&gt;x&lt;/a&gt;";
        QTest::newRow("entity") << "&amp; AT&T"
                                << "&amp;amp; AT&amp;T";
    }
    void notificationBodiesAreText() {
        QFETCH(QString, typed);
        QFETCH(QString, body);
        QCOMPARE(NotificationBody(typed), body);
    }

    // Qt's own buttons and menus speak Japanese whatever the locale.
    void qtsOwnTextsAreJapanese() {
        QVERIFY(InstallJapaneseQtTranslations(*QCoreApplication::instance()));
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Yes);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("キャンセル"));
        QLineEdit edit;
        const std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList texts;
        for (const QAction* action : menu->actions()) {
            texts << action->text();
        }
        QVERIFY2(!texts.join(' ').contains("Undo") && !texts.join(' ').contains("Copy"),
                 qPrintable(texts.join(' ')));
    }

    // A flood of display wake-ups from another thread leaves at most one drain request
    // waiting; an item posted after the drain started asks for a fresh one.
    void displayWakeUpsAreCoalesced() {
        GuiFrontEnd frontEnd;
        QSignalSpy drains(&frontEnd, &GuiFrontEnd::displayTextPosted);
        std::thread poster([&] {
            for (int i = 0; i < 10000; ++i) {
                frontEnd.DisplayTextPosted();
            }
        });
        poster.join();
        QCOMPARE(frontEnd.postedDrains(), quint64{1});
        QTRY_COMPARE(drains.count(), 1);
        frontEnd.DisplayTextPosted();
        QTRY_COMPARE(drains.count(), 2);
        QCOMPARE(frontEnd.postedDrains(), quint64{2});
    }

    void otherEventsArriveOnTheGuiThread() {
        GuiFrontEnd frontEnd;
        QSignalSpy connected(&frontEnd, &GuiFrontEnd::hostConnected);
        QSignalSpy title(&frontEnd, &GuiFrontEnd::titleRefresh);
        QSignalSpy quit(&frontEnd, &GuiFrontEnd::quitRequested);
        Qt::HANDLE receivedOn = nullptr;
        connect(&frontEnd, &GuiFrontEnd::hostConnected, this,
                [&] { receivedOn = QThread::currentThreadId(); });
        std::thread([&] {
            frontEnd.HostConnected();
            frontEnd.TitleRefresh();
            frontEnd.TitleRefresh();
            frontEnd.Quit();
        }).join();
        QCOMPARE(connected.count(), 0);  // nothing runs on the calling thread
        QTRY_COMPARE(quit.count(), 1);
        QCOMPARE(connected.count(), 1);
        QCOMPARE(title.count(), 2);
        QCOMPARE(receivedOn, QThread::currentThreadId());
    }

    // The Windows face every pane starts with draws with an installed Japanese face, and the
    // name the settings hold stays what it was.
    void missingWindowsFaceIsSubstituted() {
        const QString fallback = JapaneseFallbackFamily();
        if (fallback.isEmpty()) {
            QFAIL("no Japanese font installed (scripts/install-deps installs one)");
        }
        const QString windowsFace = QString::fromUtf8("ＭＳ Ｐゴシック");
        QCOMPARE(EnsureFamilyUsable(windowsFace), fallback);
        const QFont font = PaneFont(windowsFace, 105);
        QCOMPARE(font.family(), windowsFace);
        QCOMPARE(font.pointSizeF(), 10.5);
        QCOMPARE(QFontInfo(font).family(), fallback);
        // An installed face is left alone.
        QCOMPARE(EnsureFamilyUsable(fallback), fallback);
    }

    void soundThatCannotPlayPlaysNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty path") << QString();
        QTest::newRow("missing file") << QStringLiteral("no-such.wav");
        QTest::newRow("a directory") << QStringLiteral(".");
    }
    void soundThatCannotPlayPlaysNothing() {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QtSoundPlayer player;
        QSignalSpy handled(&player, &QtSoundPlayer::requestHandled);
        const std::string path = name.isEmpty() ? std::string() : dir.filePath(name).toStdString();
        std::thread([&] { player.Play(path); }).join();
        QTRY_COMPARE(handled.count(), 1);
        QCOMPARE(handled.at(0).at(0).toString(), QString());
    }

    void soundFileIsStartedWithoutWaiting() {
        QTemporaryDir dir;
        const QString file = dir.filePath("bell.wav");
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("not a sound at all\n");  // must neither block nor play
        out.close();
        QtSoundPlayer player;
        QSignalSpy handled(&player, &QtSoundPlayer::requestHandled);
        player.Play(file.toStdString());
        QTRY_COMPARE(handled.count(), 1);
        QCOMPARE(handled.at(0).at(0).toString(), file);
        // Qt decodes in the background and ends such a file in the error state, silently.
        auto* effect = player.findChild<QSoundEffect*>();
        QVERIFY(effect);
        QTRY_COMPARE(effect->status(), QSoundEffect::Error);
        QVERIFY(!effect->isPlaying());
    }

    void editorThatCannotStartIsReported() {
        QString error;
        QVERIFY(!LaunchEditor(QStringLiteral("/nonexistent/editor"), "a.key", &error));
        QVERIFY(error.contains("/nonexistent/editor"));
        QVERIFY(!LaunchEditor(QString(), "a.key", &error));
        QVERIFY(LaunchEditor(QStringLiteral("true --quiet"), "a.key", &error));
    }
};

QTEST_MAIN(PlatformServicesTest)
#include "PlatformServicesTest.moc"
