// SPDX-License-Identifier: MIT

#include <QTest>

#include "gui/panes/MemoView.h"
#include "gui/panes/PaneTestSupport.h"

using namespace tessel;
using namespace tessel::gui;

class MemoViewTest : public QObject {
    Q_OBJECT

    // A memo whose dialogs answer from a script and record what they were asked.
    struct Pane {
        test::TempSettings files;
        CMemoView view{files.settings};
        QString chosenPath;  // empty: the file dialog is cancelled
        QMessageBox::StandardButton answer = QMessageBox::Cancel;
        QStringList initialPaths;
        int questions = 0;
        QStringList warnings;

        Pane() {
            view.SetDialogs({[this](bool, const QString& initial) {
                                 initialPaths << initial;
                                 return chosenPath;
                             },
                             [this] {
                                 ++questions;
                                 return answer;
                             },
                             [this](const QString& message) { warnings << message; }});
        }
        QString Dir() const { return QString::fromStdString(files.dir.dir()); }
        void Edit(const QString& text) {
            view.setFocus();
            QTest::keyClicks(&view, text);
        }
    };

  private slots:
    void saveReplacesTheFileWithCodePage932AndCrLfAndLoadReadsItBack() {
        Pane pane;
        pane.files.dir.Write("memo.txt", std::string(100, 'x'));
        pane.view.setPlainText(QString::fromUtf8("一行目\n二行目"));
        QVERIFY(pane.view.SaveTo(pane.Dir() + "memo.txt"));
        QCOMPARE(QByteArray::fromStdString(pane.files.dir.Read("memo.txt")),
                 QByteArray("\x88\xea\x8d\x73\x96\xda\r\n\x93\xf1\x8d\x73\x96\xda"));
        Pane other;
        QVERIFY(other.view.LoadFrom(pane.Dir() + "memo.txt"));
        QCOMPARE(other.view.toPlainText(), QString::fromUtf8("一行目\n二行目"));
        QVERIFY(!other.view.document()->isModified());
    }

    void theFirstDialogStartsInTheStartupDirectoryAndTheNextWhereTheLastFileWas() {
        Pane pane;
        test::TempDirectory elsewhere;
        elsewhere.Write("notes.txt", "abc");
        pane.chosenPath = QString::fromStdString(elsewhere.dir()) + "notes.txt";
        QVERIFY(pane.view.Load());
        QCOMPARE(pane.view.toPlainText(), QString("abc"));
        pane.chosenPath.clear();
        QVERIFY(!pane.view.Save());
        QCOMPARE(pane.initialPaths,
                 (QStringList{QString::fromStdString(pane.files.settings.StartupDirectory()),
                              QString::fromStdString(elsewhere.dir()) + "notes.txt"}));
        QCOMPARE(pane.files.settings.GetString(SettingKey::memofiledir), elsewhere.dir());
    }

    void closingAsksOnlyAboutUnsavedText_data() {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("chooseFile");
        QTest::addColumn<bool>("mayClose");
        QTest::addColumn<bool>("saved");
        QTest::newRow("never edited")
            << false << int(QMessageBox::Cancel) << false << true << false;
        QTest::newRow("no") << true << int(QMessageBox::No) << false << true << false;
        QTest::newRow("cancel keeps running")
            << true << int(QMessageBox::Cancel) << true << false << false;
        QTest::newRow("yes, file dialog cancelled")
            << true << int(QMessageBox::Yes) << false << false << false;
        QTest::newRow("yes, saved") << true << int(QMessageBox::Yes) << true << true << true;
    }
    void closingAsksOnlyAboutUnsavedText() {
        QFETCH(bool, edited);
        QFETCH(int, answer);
        QFETCH(bool, chooseFile);
        QFETCH(bool, mayClose);
        QFETCH(bool, saved);
        Pane pane;
        if (edited) {
            pane.Edit("note");
        }
        pane.answer = static_cast<QMessageBox::StandardButton>(answer);
        pane.chosenPath = chooseFile ? pane.Dir() + "closing.txt" : QString();
        QCOMPARE(pane.view.MaybeSave(), mayClose);
        QCOMPARE(pane.questions, edited ? 1 : 0);
        QCOMPARE(pane.files.dir.Exists("closing.txt"), saved);
    }

    void aFileThatCannotBeUsedGivesAMessageAndLosesNothing() {
        Pane pane;
        pane.Edit("keep");
        QVERIFY(!pane.view.LoadFrom(pane.Dir() + "missing.txt"));
        QVERIFY(!pane.view.SaveTo(pane.Dir() + "no/such/dir/memo.txt"));
        pane.view.setPlainText(QString::fromUtf8("keep 한"));
        pane.view.document()->setModified(true);
        QVERIFY(!pane.view.SaveTo(pane.Dir() + "memo.txt"));
        QCOMPARE(pane.warnings.size(), 3);
        QVERIFY(pane.warnings.last().contains(QString::fromUtf8("한")));
        QVERIFY(!pane.files.dir.Exists("memo.txt"));
        QCOMPARE(pane.view.toPlainText(), QString::fromUtf8("keep 한"));
        QVERIFY(pane.view.document()->isModified());
        QCOMPARE(pane.view.MemoFileName(), QString("*.*"));
    }
};

QTEST_MAIN(MemoViewTest)
#include "MemoViewTest.moc"
