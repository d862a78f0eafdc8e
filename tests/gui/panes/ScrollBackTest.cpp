// SPDX-License-Identifier: MIT

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QToolButton>

#include "gui/panes/FindBar.h"
#include "gui/panes/PaneTestSupport.h"
#include "gui/panes/TesselDispView.h"
#include "gui/platform/TextCodec.h"
#include "views/DisplayDrain.h"

using namespace tessel;
using namespace tessel::gui;

namespace {

class WakePane : public FrontEnd {
  public:
    CTesselDispView* pane = nullptr;
    void DisplayTextPosted() override {
        QMetaObject::invokeMethod(pane, &CTesselDispView::DrainDisplayQueue, Qt::QueuedConnection);
    }
    void HostConnected() override {}
    void UserListRefresh() override {}
    void UserListClear() override {}
    void TitleRefresh() override {}
    void Quit() override {}
};

// Stands in for the input pane the display pane hands its keys to.
struct KeySink : QWidget {
    using QWidget::QWidget;
    int keys = 0;
    void keyPressEvent(QKeyEvent* event) override {
        ++keys;
        event->accept();
    }
};

// A display pane as the frame holds it, with `keptLines` in its settings.
struct Pane {
    test::TempSettings files;
    WakePane wake;
    DisplayQueue queue{wake};
    std::unique_ptr<DisplayDrain> drain;
    std::unique_ptr<CTesselDispView> view;

    explicit Pane(int keptLines) {
        files.settings.SetInt(SettingKey::displaylines, keptLines);
        drain = std::make_unique<DisplayDrain>(
            DisplayDrain::Services{queue, nullptr, nullptr, {}, [] { return std::string(); }});
        view = std::make_unique<CTesselDispView>(
            files.settings,
            [this](DisplaySink& sink, int limit) { return drain->Drain(sink, limit); });
        wake.pane = view.get();
        view->resize(600, 300);
        view->show();
    }
    // Shows `text` (Shift-JIS) as lines `from` to `to` - 1, each "<text> <n>".
    void Lines(int from, int to, const std::string& text = "line") {
        for (int i = from; i < to; ++i) {
            queue.PostDisplayItem(
                {"", text + " " + std::to_string(i) + "\r\n", DisplayKind::System, 0, {}});
        }
        QTRY_COMPARE(queue.size(), std::size_t{0});
        QApplication::processEvents();
    }
    QScrollBar* Bar() const { return view->verticalScrollBar(); }
    // The line at the top of the view (below the document's margin).
    QString TopLine() const {
        const int margin = qRound(view->document()->documentMargin());
        return view->cursorForPosition(QPoint(margin, margin + 1)).block().text();
    }
    int KeptBlocks() const { return view->document()->blockCount() - 1; }
    QString LastLine() const { return view->document()->lastBlock().previous().text(); }
    bool AtEnd() const { return Bar()->value() == Bar()->maximum(); }
    // Scrolls as the wheel does until the line reading `text` is at the top.
    void ScrollToLine(const QString& text) {
        Bar()->setValue(Bar()->minimum());
        while (TopLine() != text && Bar()->value() < Bar()->maximum()) {
            Bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        }
        QApplication::processEvents();
    }
};

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace

class ScrollBackTest : public QObject {
    Q_OBJECT

  private slots:
    void keptLinesAreClampedToTheirRange_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("kept");
        QTest::newRow("unset or zero") << 0 << 50;
        QTest::newRow("below the least") << 49 << 50;
        QTest::newRow("the default") << 50 << 50;
        QTest::newRow("in range") << 777 << 777;
        QTest::newRow("the most") << 100000 << 100000;
        QTest::newRow("above the most") << 100001 << 100000;
    }
    void keptLinesAreClampedToTheirRange() {
        QFETCH(int, stored);
        QFETCH(int, kept);
        Pane pane(stored);
        QCOMPARE(pane.view->KeptLines(), kept);
        QCOMPARE(pane.view->KeepsScrollBack(), kept > 50);
    }

    // At the default the pane keeps its classic rule: cut back to 50 past 90, and every new
    // line brings the view to the end even when the reader had scrolled up.
    void theDefaultKeepsTheClassicRule() {
        Pane pane(50);
        pane.Lines(0, 80);
        pane.Bar()->setValue(0);
        pane.Lines(80, 95);
        QCOMPARE(pane.view->ScreenLineCount(), 50);
        QCOMPARE(pane.LastLine(), QString("line 94"));
        QTRY_VERIFY(pane.AtEnd());
        QVERIFY(!pane.view->ReadingBack());
        QCOMPARE(pane.view->LinesWaitingBelow(), 0);
        QVERIFY(pane.view->WaitingIndicator()->isHidden());
    }

    // A reader scrolled up keeps their line at the top while lines arrive and, with a setting
    // larger than what is shown, nothing is cut.
    void aReaderScrolledUpKeepsTheirPlace_data() {
        QTest::addColumn<int>("kept");
        QTest::addColumn<int>("shown");
        QTest::addColumn<int>("readFrom");
        QTest::addColumn<int>("arriving");
        QTest::addColumn<QString>("text");
        const QString wide = QString("wrapped ").repeated(20) + "line";
        QTest::newRow("nothing cut") << 1000 << 300 << 100 << 40 << "line";
        QTest::newRow("lines cut above the reader") << 200 << 200 << 120 << 50 << "line";
        QTest::newRow("many batches") << 5000 << 400 << 10 << 2000 << "line";
        QTest::newRow("wrapped lines cut above the reader") << 200 << 200 << 120 << 50 << wide;
        QTest::newRow("wrapped lines, many cuts") << 1000 << 300 << 250 << 900 << wide;
    }
    void aReaderScrolledUpKeepsTheirPlace() {
        QFETCH(int, kept);
        QFETCH(int, shown);
        QFETCH(int, readFrom);
        QFETCH(int, arriving);
        QFETCH(QString, text);
        Pane pane(kept);
        pane.Lines(0, shown, text.toStdString());
        QTRY_VERIFY(pane.AtEnd());
        pane.ScrollToLine(QString("%1 %2").arg(text).arg(readFrom));
        const QString reading = pane.TopLine();
        QCOMPARE(reading, QString("%1 %2").arg(text).arg(readFrom));
        QVERIFY(pane.view->ReadingBack());

        pane.Lines(shown, shown + arriving, text.toStdString());
        QCOMPARE(pane.TopLine(), reading);
        QVERIFY(!pane.AtEnd());
        QCOMPARE(pane.view->LinesWaitingBelow(), arriving);
        QVERIFY(pane.view->WaitingIndicator()->isVisible());
        QVERIFY(pane.view->WaitingIndicator()->text().contains(QString::number(arriving)));
        // The empty line the pane starts with counts until it is cut.
        const int held = std::min(kept, shown + arriving + 1);
        QVERIFY(pane.KeptBlocks() >= held);
        QVERIFY(pane.KeptBlocks() <= held + CTesselDispView::TrimSlack(kept));
        QCOMPARE(pane.LastLine(), QString("%1 %2").arg(text).arg(shown + arriving - 1));
    }

    // At the default, the pane cut back holds exactly the last 50 screen lines, wrapped lines
    // counted apiece: what it shows is the tail of everything shown, cut inside a line when
    // that line is only partly among the last 50.
    void theClassicRuleCountsWrappedLines_data() {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("repeat");     // words in a wrapped line
        QTest::addColumn<int>("wrapEvery");  // every so many lines is a wrapped one
        QTest::addColumn<bool>("cut");
        QTest::newRow("short lines under the bound") << 80 << 1 << 1 << false;
        QTest::newRow("short lines over the bound") << 95 << 1 << 1 << true;
        QTest::newRow("wrapped lines under the bound") << 20 << 15 << 1 << false;
        QTest::newRow("wrapped lines, fewer than ninety") << 60 << 15 << 1 << true;
        QTest::newRow("wrapped lines, one batch of many") << 3000 << 15 << 1 << true;
        QTest::newRow("a few wrapped among many") << 3000 << 15 << 4 << true;
        QTest::newRow("one long line among many") << 2000 << 120 << 7 << true;
        QTest::newRow("very long lines") << 40 << 120 << 1 << true;
    }
    void theClassicRuleCountsWrappedLines() {
        QFETCH(int, lines);
        QFETCH(int, repeat);
        QFETCH(int, wrapEvery);
        QFETCH(bool, cut);
        Pane pane(50);
        std::string wide;
        for (int i = 0; i < repeat; ++i) {
            wide += "word" + std::to_string(i) + " ";
        }
        QString everything("\n");  // the empty line the pane starts with
        QString last;
        for (int i = 0; i < lines; ++i) {
            const std::string line = (i % wrapEvery == 0 ? wide : "line") + std::to_string(i);
            pane.queue.PostDisplayItem({"", line + "\r\n", DisplayKind::System, 0, {}});
            last = QString::fromStdString(line);
            everything += last + "\n";
        }
        QTRY_COMPARE(pane.queue.size(), std::size_t{0});
        QApplication::processEvents();
        const QString shown = pane.view->toPlainText();
        QVERIFY(everything.endsWith(shown));
        QCOMPARE(pane.LastLine(), last);
        if (cut) {
            QCOMPARE(pane.view->ScreenLineCount(), 50);
        } else {
            QCOMPARE(shown, everything);
            QVERIFY(pane.view->ScreenLineCount() <= CTesselDispView::kTrimAbove);
        }
    }

    // End in the pane, Ctrl+End, or a click on the indicator brings the reader to the end.
    void theReaderJumpsToTheEnd_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("End") << 0;
        QTest::newRow("Ctrl+End") << 1;
        QTest::newRow("a click on the indicator") << 2;
        QTest::newRow("scrolling down by hand") << 3;
    }
    void theReaderJumpsToTheEnd() {
        QFETCH(int, how);
        Pane pane(1000);
        pane.Lines(0, 200);
        pane.ScrollToLine("line 20");
        pane.Lines(200, 230);
        QCOMPARE(pane.view->LinesWaitingBelow(), 30);
        switch (how) {
            case 0:
                QTest::keyClick(pane.view.get(), Qt::Key_End);
                break;
            case 1:
                QTest::keyClick(pane.view.get(), Qt::Key_End, Qt::ControlModifier);
                break;
            case 2:
                QTest::mouseClick(pane.view->WaitingIndicator(), Qt::LeftButton);
                break;
            default:
                pane.Bar()->setValue(pane.Bar()->maximum());
                break;
        }
        QVERIFY(pane.AtEnd());
        QVERIFY(!pane.view->ReadingBack());
        QCOMPARE(pane.view->LinesWaitingBelow(), 0);
        QVERIFY(pane.view->WaitingIndicator()->isHidden());
        // Following again: the next lines keep the view at the end.
        pane.Lines(230, 260);
        QTRY_VERIFY(pane.AtEnd());
        QCOMPARE(pane.view->LinesWaitingBelow(), 0);
    }

    // A reader at the end follows: nothing waits, and the kept lines stay bounded.
    void aFollowingReaderSeesEveryNewLineWithinTheBound() {
        Pane pane(300);
        pane.Lines(0, 1000);
        QTRY_VERIFY(pane.AtEnd());
        // At most a twentieth more than the setting, cut back to it a run at a time.
        QVERIFY(pane.KeptBlocks() >= 300);
        QVERIFY(pane.KeptBlocks() <= 300 + CTesselDispView::TrimSlack(300));
        QCOMPARE(pane.view->document()->firstBlock().text(),
                 QString("line %1").arg(1000 - pane.KeptBlocks()));
        QCOMPARE(pane.LastLine(), QString("line 999"));
        QCOMPARE(pane.view->LinesWaitingBelow(), 0);
        QVERIFY(pane.view->WaitingIndicator()->isHidden());
    }

    // Lowering the setting cuts at once; the default brings the classic rule back.
    void changingTheSettingCutsToIt() {
        Pane pane(1000);
        pane.Lines(0, 400);
        pane.view->SetKeptLines(100);
        QCOMPARE(pane.KeptBlocks(), 100);
        QCOMPARE(pane.view->document()->firstBlock().text(), QString("line 300"));
        pane.view->SetKeptLines(50);
        QCOMPARE(pane.view->ScreenLineCount(), 50);
    }

    void findMatchesWideAndNarrowFormsAndCase_data() {
        QTest::addColumn<QString>("needle");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("wide kana finds narrow")
            << U("セッション") << QStringList{U("セッション"), U("ｾｯｼｮﾝ")};
        QTest::newRow("narrow voiced kana finds wide")
            << U("ﾀﾞｲｽ") << QStringList{U("ダイス"), U("ﾀﾞｲｽ")};
        QTest::newRow("ascii case and width") << U("2D6") << QStringList{U("２Ｄ６"), U("2d6")};
        QTest::newRow("wide needle, narrow text") << U("ｇｍ") << QStringList{U("GM"), U("gm")};
        QTest::newRow("hiragana stays apart") << U("だいす") << QStringList{U("だいす")};
        QTest::newRow("nothing") << U("ロール") << QStringList{};
    }
    void findMatchesWideAndNarrowFormsAndCase() {
        QFETCH(QString, needle);
        QFETCH(QStringList, found);
        Pane pane(1000);
        for (const char* line : {"GM: セッションを始めます", "pl: ｾｯｼｮﾝ了解", "pl: ダイスは２Ｄ６",
                                 "gm: ﾀﾞｲｽは2d6で", "pl: だいす"}) {
            pane.queue.PostDisplayItem(
                {"", *ToShiftJis(U(line)) + "\r\n", DisplayKind::System, 0, {}});
        }
        QTRY_COMPARE(pane.queue.size(), std::size_t{0});
        CFindBar& bar = *pane.view->FindBar();
        pane.view->OpenFindBar();
        QVERIFY(bar.isVisible());
        bar.Field()->setText(needle);  // as an input method commits it
        QCOMPARE(bar.MatchCount(), found.size());
        QStringList seen;
        for (int i = 0; i < found.size(); ++i) {
            seen << bar.Current().selectedText();
            QCOMPARE(bar.MatchNumber(), i + 1);
            QTest::keyClick(bar.Field(), Qt::Key_Return);
        }
        QCOMPARE(seen, found);
        if (found.isEmpty()) {
            QVERIFY(!bar.Current().hasSelection());
            QCOMPARE(bar.Status()->text(), U("見つかりません"));
        } else {
            // The round ends where it began.
            QCOMPARE(bar.MatchNumber(), 1);
            QCOMPARE(bar.Current().selectedText(), found.front());
            QCOMPARE(pane.view->textCursor().selectedText(), found.front());
        }
    }

    // Next and previous go round at both ends, over every line the pane holds, and bring the
    // match into view.
    void nextAndPreviousWrapOverEverythingKept() {
        Pane pane(2000);
        pane.Lines(0, 1500, "chat");
        pane.Lines(1500, 1501, "needle");
        QTRY_VERIFY(pane.AtEnd());
        CFindBar& bar = *pane.view->FindBar();
        pane.view->OpenFindBar();
        QTest::keyClicks(bar.Field(), "chat 7");
        // chat 7, chat 70 to 79, chat 700 to 799: 111 matches; the first is at the very top.
        QCOMPARE(bar.MatchCount(), 111);
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
            int number;
            const char* line;
        } steps[] = {
            {Qt::Key_Up, Qt::NoModifier, 111, "chat 799"},
            {Qt::Key_Return, Qt::NoModifier, 1, "chat 7"},
            {Qt::Key_Return, Qt::ShiftModifier, 111, "chat 799"},
            {Qt::Key_Return, Qt::ShiftModifier, 110, "chat 798"},
            {Qt::Key_Down, Qt::NoModifier, 111, "chat 799"},
            {Qt::Key_Down, Qt::NoModifier, 1, "chat 7"},
            {Qt::Key_Down, Qt::NoModifier, 2, "chat 70"},
        };
        QCOMPARE(bar.MatchNumber(), 1);
        for (const auto& step : steps) {
            QTest::keyClick(bar.Field(), step.key, step.modifiers);
            QCOMPARE(bar.MatchNumber(), step.number);
            QCOMPARE(bar.Current().block().text(), QString(step.line));
            const QRect shown = pane.view->cursorRect(bar.Current());
            QVERIFY(pane.view->viewport()->rect().contains(shown.center()));
        }
        // The match being read stays in view while lines arrive.
        const QString top = pane.TopLine();
        pane.Lines(1501, 1600, "chat");
        QCOMPARE(pane.TopLine(), top);
        // Escape closes the bar and clears the highlight; the place is kept.
        QTest::keyClick(bar.Field(), Qt::Key_Escape);
        QVERIFY(bar.isHidden());
        QVERIFY(pane.view->extraSelections().isEmpty());
        QVERIFY(!pane.view->textCursor().hasSelection());
        QCOMPARE(pane.TopLine(), top);
    }

    // Typing on keeps the match in place while it still matches; a button click finds on.
    void findIsIncremental() {
        Pane pane(1000);
        pane.Lines(0, 3, "alpha");
        pane.Lines(3, 4, "alphabet");
        pane.Lines(4, 5, "alp");
        CFindBar& bar = *pane.view->FindBar();
        pane.view->OpenFindBar();
        const struct {
            const char* typed;
            int count;
            const char* line;
        } steps[] = {{"a", 9, "alpha 0"}, {"l", 5, "alpha 0"}, {"p", 5, "alpha 0"},
                     {"h", 4, "alpha 0"}, {"a", 4, "alpha 0"}, {"b", 1, "alphabet 3"},
                     {"z", 0, ""}};
        for (const auto& step : steps) {
            QTest::keyClicks(bar.Field(), step.typed);
            QCOMPARE(bar.MatchCount(), step.count);
            QCOMPARE(bar.Current().block().text(), QString(step.line));
        }
        // Shift pressed on its own before a capital stays with the find bar, as every key
        // does: the pane hands the keys that reach it to the input pane, focus and all.
        auto* input = new KeySink(pane.view.get());
        input->show();
        pane.view->SetKeyTarget(input);
        QVERIFY(QTest::qWaitForWindowActive(pane.view.get()));
        bar.Field()->setFocus();
        bar.Field()->clear();
        QTest::keyPress(bar.Field(), Qt::Key_Shift);
        QTest::keyClicks(bar.Field(), "ALP", Qt::ShiftModifier);
        QTest::keyRelease(bar.Field(), Qt::Key_Shift, Qt::ShiftModifier);
        QCOMPARE(bar.Field()->text(), QString("ALP"));
        QVERIFY(bar.Field()->hasFocus());
        QCOMPARE(input->keys, 0);
        QTest::mouseClick(bar.NextButton(), Qt::LeftButton);
        QCOMPARE(bar.MatchNumber(), 2);
        QTest::mouseClick(bar.PreviousButton(), Qt::LeftButton);
        QTest::mouseClick(bar.PreviousButton(), Qt::LeftButton);
        QCOMPARE(bar.MatchNumber(), 5);
        QCOMPARE(bar.Current().block().text(), QString("alp 4"));
    }
};

QTEST_MAIN(ScrollBackTest)
#include "ScrollBackTest.moc"
