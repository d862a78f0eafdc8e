// SPDX-License-Identifier: MIT

#include <QAction>
#include <QDate>
#include <QFile>
#include <QTest>

#include "gui/dialogs/AutoLogSettingsDialog.h"
#include "gui/frame/FrameTestSupport.h"
#include "gui/panes/TesselDispView.h"

using namespace tessel;
using namespace tessel::gui;
using namespace tessel::gui::test;

namespace {

constexpr int kAutoLog = 32776, kStopLog = 32777, kStartLog = 32778, kAutoLogSettings = 32903;
constexpr int kHtmlLog = 32941, kSaveSessionHtml = 32940;

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QString Today(const char* pattern) {
    return QDate::currentDate().toString(QString::fromLatin1(pattern));
}

}  // namespace

// The logging commands of the file menu and their marks in the menu and the title.
class FrameLogTest : public QObject {
    Q_OBJECT

  private slots:
    void manualLogOpensTheChosenFileAndMarksTheTitle() {
        FrameFixture f;
        f.Open();
        f.chosenLogFile = QString::fromStdString(f.dir.dir()) + "chat.log";
        QVERIFY(f.frame->RunCommand(kStartLog));
        QCOMPARE(f.proposedLogFile, "tsl" + Today("yyMMdd") + ".log");
        QVERIFY(f.frame->Log().IsLogging());
        QVERIFY(f.frame->Action(kStopLog)->isEnabled());
        QCOMPARE(f.frame->windowTitle(), U("tessel   Ｌ　"));
        QCOMPARE(f.settings->GetString(SettingKey::logdir), f.dir.dir());

        // What the display pane shows goes into the log.
        f.frame->Core().Display().PostDisplayItem(
            {"", "dice night\r\n", DisplayKind::System, 0, {}});
        QTRY_VERIFY(f.dir.Read("chat.log").find("dice night") != std::string::npos);

        QVERIFY(f.frame->RunCommand(kStopLog));
        QVERIFY(!f.frame->Log().IsLogging());
        QVERIFY(!f.frame->Action(kStopLog)->isEnabled());
        QCOMPARE(f.frame->windowTitle(), U("tessel   　　"));
    }

    void cancelledManualLogChangesNothing() {
        FrameFixture f;
        f.Open();
        f.chosenLogFile.clear();
        QVERIFY(f.frame->RunCommand(kStartLog));
        QVERIFY(!f.frame->Log().IsLogging());
        QCOMPARE(f.frame->windowTitle(), U("tessel   　　"));
    }

    void automaticLogSwitchCarriesTheCheckMark() {
        FrameFixture f;
        f.Open();
        f.settings->SetString(SettingKey::logdir, f.dir.dir());
        f.Close();  // a fresh frame reads the directory
        f.Open();
        QVERIFY(!f.frame->Action(kAutoLog)->isChecked());
        QVERIFY(f.frame->RunCommand(kAutoLog));
        QVERIFY(f.frame->Action(kAutoLog)->isChecked());
        QVERIFY(f.frame->Log().IsLogging());
        QCOMPARE(f.settings->GetInt(SettingKey::autolog), 1);
        QVERIFY(f.dir.Exists("tsl" + Today("yyMMdd").toStdString() + ".log"));

        // Stopping keeps the switch on.
        QVERIFY(f.frame->RunCommand(kStopLog));
        QVERIFY(f.frame->Action(kAutoLog)->isChecked());
        QVERIFY(f.frame->RunCommand(kAutoLog));
        QVERIFY(!f.frame->Action(kAutoLog)->isChecked());
        QCOMPARE(f.settings->GetInt(SettingKey::autolog), 0);
    }

    void automaticLogSettingsAreStoredUnlessCancelled() {
        FrameFixture f;
        f.Open();
        const QString directory = QString::fromStdString(f.dir.dir());
        f.answer = [&](QDialog& dialog) {
            auto& settings = dynamic_cast<CAutoLogSettingsDialog&>(dialog);
            settings.m_logDir = directory;
            settings.m_autoLogName = "%y-%N.log";
            return int(QDialog::Accepted);
        };
        QVERIFY(f.frame->RunCommand(kAutoLogSettings));
        QCOMPARE(f.settings->GetString(SettingKey::logdir), f.dir.dir());
        QCOMPARE(f.settings->GetString(SettingKey::autologname), "%y-%N.log");
        QCOMPARE(f.frame->Log().AutoLogName(), "%y-%N.log");

        f.answer = [](QDialog& dialog) {
            dynamic_cast<CAutoLogSettingsDialog&>(dialog).m_autoLogName = "other.log";
            return int(QDialog::Rejected);
        };
        QVERIFY(f.frame->RunCommand(kAutoLogSettings));
        QCOMPARE(f.settings->GetString(SettingKey::autologname), "%y-%N.log");
    }

    // The pane keeps a few screens; the saved page keeps the evening.
    void sessionPageHoldsWhatThePaneTrimmed() {
        FrameFixture f;
        f.Open();
        constexpr int kLines = 300;
        for (int i = 0; i < kLines; ++i) {
            f.frame->Core().Display().PostDisplayItem(
                {"",
                 "evening line " + std::to_string(1000 + i) + "\r\n",
                 DisplayKind::System,
                 0,
                 {}});
        }
        QTRY_COMPARE(f.frame->Core().Record().Lines().size(), std::size_t{kLines});
        auto* pane = f.frame->DisplayView();
        QVERIFY(pane != nullptr);
        QTRY_VERIFY(pane->toPlainText().contains(QStringLiteral("evening line 1299")));
        QVERIFY(!pane->toPlainText().contains(QStringLiteral("evening line 1000")));

        f.chosenHtmlFile.clear();
        QVERIFY(f.frame->RunCommand(kSaveSessionHtml));  // cancelled: nothing written
        QCOMPARE(f.proposedHtmlFile, "tsl" + Today("yyMMdd") + ".html");
        QVERIFY(!f.dir.Exists("evening.html"));

        f.chosenHtmlFile = QString::fromStdString(f.dir.dir()) + "evening.html";
        QVERIFY(f.frame->RunCommand(kSaveSessionHtml));
        const std::string page = f.dir.Read("evening.html");
        std::size_t at = 0;
        for (int i = 0; i < kLines; ++i) {
            at = page.find("evening line " + std::to_string(1000 + i) + "</span></div>", at);
            QVERIFY2(at != std::string::npos, qPrintable(QString::number(i)));
        }
        QVERIFY(f.warnings.empty());

        // A place that cannot be written is said so.
        f.chosenHtmlFile = QString::fromStdString(f.dir.dir()) + "missing/evening.html";
        QVERIFY(f.frame->RunCommand(kSaveSessionHtml));
        QCOMPARE(f.warnings.size(), std::size_t{1});

        // The open log is never replaced by a page: it goes on taking lines.
        f.chosenLogFile = QString::fromStdString(f.dir.dir()) + "chat.log";
        QVERIFY(f.frame->RunCommand(kStartLog));
        f.frame->Core().Display().PostDisplayItem({"", "before\r\n", DisplayKind::System, 0, {}});
        QTRY_VERIFY(f.dir.Read("chat.log").find("before") != std::string::npos);
        f.chosenHtmlFile = f.chosenLogFile;
        QVERIFY(f.frame->RunCommand(kSaveSessionHtml));
        QCOMPARE(f.warnings.size(), std::size_t{2});
        f.frame->Core().Display().PostDisplayItem({"", "after\r\n", DisplayKind::System, 0, {}});
        QTRY_VERIFY(f.dir.Read("chat.log").find("after") != std::string::npos);
        QCOMPARE(f.dir.Read("chat.log").find("<html"), std::string::npos);
    }

    void htmlLogSwitchCarriesTheCheckMarkAndTheSetting() {
        FrameFixture f;
        f.Open();
        QVERIFY(!f.frame->Action(kHtmlLog)->isChecked());
        QVERIFY(f.frame->RunCommand(kHtmlLog));
        QVERIFY(f.frame->Action(kHtmlLog)->isChecked());
        QCOMPARE(f.settings->GetInt(SettingKey::htmllog), 1);
        f.chosenLogFile = QString::fromStdString(f.dir.dir()) + "chat.log";
        QVERIFY(f.frame->RunCommand(kStartLog));
        f.frame->Core().Display().PostDisplayItem(
            {"", "dice night\r\n", DisplayKind::System, 0, {}});
        QTRY_VERIFY(f.dir.Read("chat.html").find("dice night") != std::string::npos);
        QVERIFY(f.frame->RunCommand(kHtmlLog));
        QVERIFY(!f.frame->Action(kHtmlLog)->isChecked());
        QCOMPARE(f.settings->GetInt(SettingKey::htmllog), 0);
    }
};

QTEST_MAIN(FrameLogTest)
#include "FrameLogTest.moc"
