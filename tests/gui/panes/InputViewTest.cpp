// SPDX-License-Identifier: MIT

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>

#include "gui/panes/PaneTestSupport.h"
#include "gui/panes/TesselInputView.h"

using namespace tessel;
using namespace tessel::gui;
using Commands = std::vector<std::string>;

namespace {

// One thing the user does in the pane. Text goes in as keys (Type) or as an input method's
// committed text (Commit: QTest types Latin-1 only).
struct Step {
    enum Kind { Type, Commit, Enter, ShiftEnter, Backspace, Paste, CaretTo } kind;
    QString text;
    int line = 0;
    int column = 0;
};
Step T(const char* text) {
    return {Step::Type, text};
}
Step C(const char* utf8) {
    return {Step::Commit, QString::fromUtf8(utf8)};
}
Step P(const char* text) {
    return {Step::Paste, text};
}
Step At(int line, int column) {
    return {Step::CaretTo, {}, line, column};
}
const Step kEnter{Step::Enter, {}};
const Step kShiftEnter{Step::ShiftEnter, {}};
const Step kBackspace{Step::Backspace, {}};

// Marks the end of what a case sent: the mailbox keeps order, so a line sent by mistake
// shows up before it.
constexpr std::string_view kSentinel = "#end";

}  // namespace

Q_DECLARE_METATYPE(std::vector<Step>)
Q_DECLARE_METATYPE(Commands)

class InputViewTest : public QObject {
    Q_OBJECT

    struct Pane {
        test::TempSettings files;
        test::RecordingConnection connection{files.settings};
        CTesselInputView view{
            files.settings, [this](std::string_view line, std::chrono::milliseconds wait) {
                return connection.thread.PostText(ThreadMessage::Command, line, wait);
            }};
        Pane() {
            view.resize(400, 300);
            view.show();
            view.setFocus();
        }
        Commands Sent() const { return connection.requests.Commands(); }
        void Run(const std::vector<Step>& steps) {
            for (const Step& step : steps) {
                Do(step);
            }
        }
        void Do(const Step& step) {
            switch (step.kind) {
                case Step::Type:
                    return QTest::keyClicks(&view, step.text);
                case Step::Commit: {
                    QInputMethodEvent event;
                    event.setCommitString(step.text);
                    QApplication::sendEvent(&view, &event);
                    return;
                }
                case Step::Enter:
                    return QTest::keyClick(&view, Qt::Key_Return);
                case Step::ShiftEnter:
                    return QTest::keyClick(&view, Qt::Key_Return, Qt::ShiftModifier);
                case Step::Backspace:
                    return QTest::keyClick(&view, Qt::Key_Backspace);
                case Step::Paste:
                    QApplication::clipboard()->setText(step.text);
                    return QTest::keyClick(&view, Qt::Key_V, Qt::ControlModifier);
                case Step::CaretTo: {
                    QTextCursor cursor(view.document()->findBlockByNumber(step.line));
                    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, step.column);
                    view.setTextCursor(cursor);
                    return;
                }
            }
        }
        // Everything the pane handed over, once the connection thread has taken it all.
        Commands SentSoFar() {
            connection.thread.PostText(ThreadMessage::Command, kSentinel);
            const bool arrived = QTest::qWaitFor([&] {
                const Commands sent = Sent();
                return !sent.empty() && sent.back() == kSentinel;
            });
            Commands sent = Sent();
            if (arrived) {
                sent.pop_back();
            }
            return sent;
        }
    };

  private slots:
    void linesAreSentAsTheUserFinishesThem_data() {
        QTest::addColumn<std::vector<Step>>("steps");
        QTest::addColumn<Commands>("sent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caretLine");
        QTest::newRow("Enter at the end")
            << std::vector{T("2d6+1"), kEnter} << Commands{"2d6+1"} << "2d6+1\n"
            << 1;
        QTest::newRow("Enter mid-line sends the whole line, unsplit")
            << std::vector{T("hello world"), At(0, 3), kEnter} << Commands{"hello world"}
            << "hello world\n"
            << 1;
        QTest::newRow("Enter on an earlier line sends it again, text unchanged")
            << std::vector{T("one"), kEnter, T("two"), kEnter, At(0, 1), kEnter}
            << Commands{"one", "two", "one"} << "one\ntwo\n"
            << 1;
        QTest::newRow("Shift+Enter holds its line, each time")
            << std::vector{T("held"),   kShiftEnter, T("next"),   kEnter, T("a"),
                           kShiftEnter, T("b"),      kShiftEnter, T("c"), kEnter}
            << Commands{"next", "c"} << "held\nnext\na\nb\nc\n"
            << 5;
        QTest::newRow("a paste sends the lines it finishes")
            << std::vector{P("first\nsecond\nthird")} << Commands{"first", "second"}
            << "first\nsecond\nthird" << 2;
        QTest::newRow("a pasted CR LF finishes a line")
            << std::vector{T("x"), P("1\r\ny\r\n")} << Commands{"x1", "y"} << "x1\ny\n"
            << 2;
        QTest::newRow("Backspace under a finished line does nothing")
            << std::vector{T("done"), kEnter, kBackspace} << Commands{"done"} << "done\n"
            << 1;
        QTest::newRow("Backspace elsewhere deletes")
            << std::vector{T("done"), kEnter, T("ab"), kBackspace} << Commands{"done"} << "done\na"
            << 1;
        QTest::newRow("code page 932 on the wire, the JIS wave dash as the code page's own")
            << std::vector{C("太郎\u301C"), kEnter} << Commands{"\x91\xbe\x98\x59\x81\x60"}
            << QString::fromUtf8("太郎\u301C\n") << 1;
    }
    void linesAreSentAsTheUserFinishesThem() {
        QFETCH(std::vector<Step>, steps);
        QFETCH(Commands, sent);
        QFETCH(QString, text);
        QFETCH(int, caretLine);
        Pane pane;
        pane.Run(steps);
        QCOMPARE(pane.view.toPlainText(), text);
        QCOMPARE(pane.view.textCursor().blockNumber(), caretLine);
        QCOMPARE(pane.SentSoFar(), Commands(sent));
    }

    void aWrappedLineIsSentWholeWithoutSeparators() {
        Pane pane;
        pane.view.resize(120, 300);
        const QString longText = QString("word ").repeated(30).trimmed();
        pane.Do({Step::Type, longText});
        QVERIFY(pane.view.document()->firstBlock().layout()->lineCount() > 1);
        pane.Run({At(0, 7), kEnter});
        QCOMPARE(pane.SentSoFar(), Commands{longText.toStdString()});
    }

    void enterLeavesTheClipboardAlone() {
        Pane pane;
        QApplication::clipboard()->setText("copied by the user");
        pane.Run({T("one"), kEnter, T("two"), At(0, 1), kEnter});
        QCOMPARE(QApplication::clipboard()->text(), QString("copied by the user"));
    }

    void enterKeepsTheLastTwentyLines() {
        Pane pane;
        for (int i = 0; i < 19; ++i) {
            pane.Run({{Step::Type, QString("line%1").arg(i)}, kEnter});
        }
        QCOMPARE(pane.view.document()->blockCount(), 20);
        QCOMPARE(pane.view.document()->firstBlock().text(), QString("line0"));
        pane.Run({T("line19"), kEnter});
        QCOMPARE(pane.view.document()->blockCount(), 20);
        QCOMPARE(pane.view.document()->firstBlock().text(), QString("line1"));
        QCOMPARE(pane.view.textCursor().blockNumber(), 19);
    }

    void aLineTheCodePageCannotHoldIsRefusedAndStays() {
        Pane pane;
        QSignalSpy status(&pane.view, &CTesselInputView::statusMessage);
        pane.Run({C("한글"), kEnter});
        QCOMPARE(status.count(), 1);
        QVERIFY(status.at(0).at(0).toString().contains(QString::fromUtf8("한")));
        QCOMPARE(pane.view.toPlainText(), QString::fromUtf8("한글\n"));
        QCOMPARE(pane.SentSoFar(), Commands{});
    }

    void macrosReadTheCaretLineAndStartAFreshOneWithoutSending() {
        Pane pane;
        pane.Run({C("hello 世界")});
        QCOMPARE(pane.view.CaretLineText(), std::string("hello \x90\xa2\x8a\x45"));
        pane.view.FinishLineWithoutSending();
        pane.Run({T("go"), At(0, 2)});
        pane.view.FinishLineWithoutSending();  // not on the last line: nothing inserted
        QCOMPARE(pane.view.toPlainText(), QString::fromUtf8("hello 世界\ngo"));
        QCOMPARE(pane.SentSoFar(), Commands{});
    }
};

QTEST_MAIN(InputViewTest)
#include "InputViewTest.moc"
