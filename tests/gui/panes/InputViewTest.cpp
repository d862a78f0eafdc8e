#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

#include "gui/panes/PaneTestSupport.h"
#include "gui/panes/TesselInputView.h"
#include "gui/platform/TextCodec.h"

using namespace tessel;
using namespace tessel::gui;
using Commands = std::vector<std::string>;

class InputViewTest : public QObject {
    Q_OBJECT

    struct Pane {
        test::TempSettings files;
        test::RecordingConnection connection{files.settings};
        CTesselInputView view{files.settings, connection.thread};
        Pane() {
            view.resize(400, 300);
            view.show();
            view.setFocus();
        }
        Commands Sent() const { return connection.requests.Commands(); }
        void Type(const QString& text) { QTest::keyClicks(&view, text); }
        // Japanese arrives as an input method's committed text.
        void Commit(const QString& text) {
            QInputMethodEvent event;
            event.setCommitString(text);
            QApplication::sendEvent(&view, &event);
        }
        void Enter(Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
            QTest::keyClick(&view, Qt::Key_Return, modifiers);
        }
        void CaretTo(int block, int column) {
            QTextCursor cursor(view.document()->findBlockByNumber(block));
            cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, column);
            view.setTextCursor(cursor);
        }
        QString Text() const { return view.toPlainText(); }
    };

  private slots:
    void enterAtTheEndSendsTheLineAndOpensAnEmptyOne() {
        Pane pane;
        pane.Type("2d6+1");
        pane.Enter();
        QTRY_COMPARE(pane.Sent(), Commands{"2d6+1"});
        QCOMPARE(pane.Text(), QString("2d6+1\n"));
        QCOMPARE(pane.view.textCursor().blockNumber(), 1);
    }

    void aWrappedLineIsSentWholeWithoutSeparators() {
        Pane pane;
        pane.view.resize(120, 300);
        const QString longText = QString("word ").repeated(30).trimmed();
        pane.Type(longText);
        QVERIFY(pane.view.document()->firstBlock().layout()->lineCount() > 1);
        pane.CaretTo(0, 7);  // in the first screen line
        pane.Enter();
        QTRY_COMPARE(pane.Sent(), Commands{longText.toStdString()});
        QCOMPARE(pane.Text(), longText + "\n");
    }

    void enterInTheMiddleSendsTheWholeLineWithoutSplittingIt() {
        Pane pane;
        pane.Type("hello world");
        pane.CaretTo(0, 3);
        pane.Enter();
        QTRY_COMPARE(pane.Sent(), Commands{"hello world"});
        QCOMPARE(pane.Text(), QString("hello world\n"));
    }

    void enterOnAnEarlierLineSendsItAgainAndLeavesTextAndClipboard() {
        Pane pane;
        QApplication::clipboard()->setText("copied by the user");
        pane.Type("one");
        pane.Enter();
        pane.Type("two");
        pane.Enter();
        pane.CaretTo(0, 1);
        pane.Enter();
        QTRY_COMPARE(pane.Sent(), (Commands{"one", "two", "one"}));
        QCOMPARE(pane.Text(), QString("one\ntwo\n"));
        QCOMPARE(pane.view.textCursor().position(), 4);  // start of the next line
        QCOMPARE(QApplication::clipboard()->text(), QString("copied by the user"));
    }

    void shiftEnterMakesALineThatIsNeverSent() {
        Pane pane;
        pane.Type("held");
        pane.Enter(Qt::ShiftModifier);
        pane.Type("next");
        pane.Enter();
        QTRY_COMPARE(pane.Sent(), Commands{"next"});
        QCOMPARE(pane.Text(), QString("held\nnext\n"));
        // A second Shift+Enter while Shift stays down holds its line too.
        pane.Type("a");
        pane.Enter(Qt::ShiftModifier);
        pane.Type("b");
        pane.Enter(Qt::ShiftModifier);
        pane.Type("c");
        pane.Enter();
        QTRY_COMPARE(pane.Sent(), (Commands{"next", "c"}));
    }

    void aPasteSendsEachLineItFinishes() {
        Pane pane;
        QApplication::clipboard()->setText("first\nsecond\nthird");
        QTest::keyClick(&pane.view, Qt::Key_V, Qt::ControlModifier);
        QTRY_COMPARE(pane.Sent(), (Commands{"first", "second"}));
        pane.Enter();
        QTRY_COMPARE(pane.Sent(), (Commands{"first", "second", "third"}));
        QApplication::clipboard()->setText("x\r\ny\r\n");
        QTest::keyClick(&pane.view, Qt::Key_V, Qt::ControlModifier);
        QTRY_COMPARE(pane.Sent(), (Commands{"first", "second", "third", "x", "y"}));
    }

    void backspaceUnderAFinishedLineDoesNothing() {
        Pane pane;
        pane.Type("done");
        pane.Enter();
        QTest::keyClick(&pane.view, Qt::Key_Backspace);
        QCOMPARE(pane.Text(), QString("done\n"));
        QCOMPARE(pane.view.textCursor().blockNumber(), 1);
        pane.Type("ab");
        QTest::keyClick(&pane.view, Qt::Key_Backspace);
        QCOMPARE(pane.Text(), QString("done\na"));
    }

    void enterKeepsTheLastTwentyLines() {
        Pane pane;
        for (int i = 0; i < 19; ++i) {
            pane.Type(QString("line%1").arg(i));
            pane.Enter();
        }
        QCOMPARE(pane.view.document()->blockCount(), 20);
        QCOMPARE(pane.view.document()->firstBlock().text(), QString("line0"));
        pane.Type("line19");
        pane.Enter();
        QCOMPARE(pane.view.document()->blockCount(), 20);
        QCOMPARE(pane.view.document()->firstBlock().text(), QString("line1"));
        QCOMPARE(pane.view.textCursor().blockNumber(), 19);
        QTRY_COMPARE(pane.Sent().size(), std::size_t{20});
    }

    void japaneseGoesOutInCodePage932AndWhatItCannotHoldIsRefused() {
        Pane pane;
        QSignalSpy status(&pane.view, &CTesselInputView::statusMessage);
        pane.Commit(QString::fromUtf8("한글"));
        pane.Enter();
        QCOMPARE(status.count(), 1);
        QVERIFY(status.at(0).at(0).toString().contains(QString::fromUtf8("한")));
        QCOMPARE(pane.Text(), QString::fromUtf8("한글\n"));
        // The wave dash of Linux input methods goes out as the code page's own "～".
        pane.Commit(QString::fromUtf8("太郎\u301C"));
        pane.Enter();
        QTRY_COMPARE(pane.Sent(), Commands{"\x91\xbe\x98\x59\x81\x60"});
    }

    void macrosReadTheCaretLineAndStartAFreshOneWithoutSending() {
        Pane pane;
        pane.Commit(QString::fromUtf8("hello 世界"));
        QCOMPARE(pane.view.CaretLineText(), std::string("hello \x90\xa2\x8a\x45"));
        pane.view.FinishLineWithoutSending();
        QCOMPARE(pane.Text(), QString::fromUtf8("hello 世界\n"));
        pane.Type("go");
        pane.Enter();
        QTRY_COMPARE(pane.Sent(), Commands{"go"});
        // Not on the last line: nothing is inserted.
        pane.CaretTo(0, 2);
        pane.view.FinishLineWithoutSending();
        QCOMPARE(pane.Text(), QString::fromUtf8("hello 世界\ngo\n"));
    }
};

QTEST_MAIN(InputViewTest)
#include "InputViewTest.moc"
