// SPDX-License-Identifier: MIT

#include <QApplication>
#include <QImage>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QVBoxLayout>

#include <set>
#include <thread>

#include "gui/panes/PaneStyle.h"
#include "gui/panes/PaneTestSupport.h"
#include "gui/panes/TesselDispView.h"
#include "gui/platform/TextCodec.h"
#include "views/ConversationLog.h"

using namespace tessel;
using namespace tessel::gui;

namespace {

constexpr std::int32_t kText = 0x111111;
constexpr std::int32_t kName = 0x222222;
constexpr std::int32_t kSystem = 0x333333;
constexpr std::int32_t kDice = 0x444444;
constexpr std::int32_t kBackground = 0x556677;

// Wakes the pane as the GUI front end does: a queued call from whichever thread posted.
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

struct Run {
    QString text;
    std::int32_t colour;
    friend bool operator==(const Run&, const Run&) = default;
};

DisplayItem Item(DisplayKind kind, std::string name, std::string text, int systemName = 0) {
    return {.name = std::move(name),
            .text = std::move(text),
            .kind = kind,
            .systemName = systemName,
            .rollInfo = {}};
}

}  // namespace

Q_DECLARE_METATYPE(DisplayItem)
Q_DECLARE_METATYPE(std::vector<Run>)

class DisplayViewTest : public QObject {
    Q_OBJECT

    struct Pane {
        test::TempSettings files;
        WakePane wake;
        DisplayQueue queue{wake};
        std::unique_ptr<ConversationLog> log;
        std::unique_ptr<DisplayDrain> drain;
        std::unique_ptr<CTesselDispView> view;

        Pane() {
            Settings& s = files.settings;
            s.SetInt(SettingKey::dispcolor, kText);
            s.SetInt(SettingKey::dispnamecolor, kName);
            s.SetInt(SettingKey::dispsyscolor, kSystem);
            s.SetInt(SettingKey::dispdicecolor, kDice);
            s.SetInt(SettingKey::dispbkcolor, kBackground);
            s.SetInt(SettingKey::autolog, 1);
            s.SetString(SettingKey::logdir, files.dir.dir());
            s.SetString(SettingKey::autologname, "pane.log");
            log = std::make_unique<ConversationLog>(
                s, ConversationLog::Hooks{.localTime = LocalTimeNow,
                                          .currentNames = [] { return LogNames{}; },
                                          .titleChanged = [] {},
                                          .ownFiles = nullptr,
                                          .sessionHeader = {}});
            drain = std::make_unique<DisplayDrain>(DisplayDrain::Services{
                queue, log.get(), nullptr, {}, [] { return std::string(); }});
            view = std::make_unique<CTesselDispView>(
                s, [this](DisplaySink& sink, int limit) { return drain->Drain(sink, limit); });
            wake.pane = view.get();
            view->resize(900, 600);
            view->show();
        }
        void Show(const DisplayItem& item) {
            queue.PostDisplayItem(item);
            QTRY_COMPARE(queue.size(), std::size_t{0});
        }
        // Every coloured piece of the pane, in order, line breaks left out.
        std::vector<Run> Runs() const {
            std::vector<Run> runs;
            for (QTextBlock block = view->document()->begin(); block.isValid();
                 block = block.next()) {
                for (auto it = block.begin(); !it.atEnd(); ++it) {
                    const QTextFragment fragment = it.fragment();
                    runs.push_back({fragment.text(),
                                    RefFromColour(fragment.charFormat().foreground().color())});
                }
            }
            return runs;
        }
        std::string Log() const { return files.dir.Read("pane.log"); }
    };

  private slots:
    void eachRunTakesTheColourOfItsMarker_data() {
        QTest::addColumn<DisplayItem>("item");
        QTest::addColumn<std::vector<Run>>("runs");
        QTest::addColumn<QByteArray>("log");
        QTest::newRow("chat line") << Item(DisplayKind::Chat, "taro", "hello")
                                   << std::vector<Run>{{"taro:", kName}, {" hello", kText}}
                                   << QByteArray("taro: hello\r\n");
        QTest::newRow("announcement")
            << Item(DisplayKind::Chat, "system", "ready\r\n", 1)
            << std::vector<Run>{{"system: ready", kSystem}} << QByteArray("system: ready\r\n");
        QTest::newRow("notice") << Item(DisplayKind::System, "", "notice\r\n")
                                << std::vector<Run>{{"notice", kSystem}}
                                << QByteArray("notice\r\n");
        QTest::newRow("a peer's marker bytes are text")
            << Item(DisplayKind::Chat, "taro", "\xFC\xFAred")
            << std::vector<Run>{{"taro:", kName}, {" " + FromShiftJis("\x81\xAC") + "red", kText}}
            << QByteArray("taro: \x81\xACred\r\n");
        QTest::newRow("marker bytes inside a kanji are text")
            << Item(DisplayKind::System, "",
                    "\x89\xFC\xFB"
                    "a")
            << std::vector<Run>{{FromShiftJis("\x89\xFC\xFB"
                                              "a"),
                                 kSystem}}
            << QByteArray(
                   "\x89\xFC\xFB"
                   "a");
    }
    void eachRunTakesTheColourOfItsMarker() {
        QFETCH(DisplayItem, item);
        QFETCH(std::vector<Run>, runs);
        QFETCH(QByteArray, log);
        Pane pane;
        pane.Show(item);
        QVERIFY(pane.Runs() == runs);
        QCOMPARE(pane.view->palette().color(QPalette::Base), ColourFromRef(kBackground));
        QCOMPARE(QByteArray::fromStdString(pane.Log()), log);
    }

    // The runs are drawn in their colours, not only stored with them: every colour shown
    // appears among the pane's pixels, on its background.
    void eachRunIsDrawnInItsColour() {
        Pane pane;
        const std::string squares = "\x81\xA1\x81\xA1\x81\xA1\x81\xA1";  // four solid squares
        pane.Show(Item(DisplayKind::Chat, squares, squares + "\r\n"));
        pane.Show(Item(DisplayKind::System, "", squares + "\r\n"));
        const QImage image = pane.view->viewport()->grab().toImage();
        std::set<QRgb> drawn;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                drawn.insert(image.pixel(x, y) & 0xFFFFFF);
            }
        }
        for (const std::int32_t colour : {kName, kText, kSystem, kBackground}) {
            QVERIFY2(drawn.count(ColourFromRef(colour).rgb() & 0xFFFFFF) != 0,
                     qPrintable(QString::number(colour, 16)));
        }
        // The dice colour was never shown.
        QVERIFY(drawn.count(ColourFromRef(kDice).rgb() & 0xFFFFFF) == 0);
    }

    void ninetyLinesStayAndTheNinetyFirstCutsBackToFifty() {
        Pane pane;
        for (int i = 0; i < 88; ++i) {
            pane.queue.PostDisplayItem(
                Item(DisplayKind::System, "", "line " + std::to_string(i) + "\r\n"));
        }
        QTRY_COMPARE(pane.queue.size(), std::size_t{0});
        QCOMPARE(pane.view->ScreenLineCount(), 90);
        QCOMPARE(pane.view->document()->firstBlock().text(), QString());
        pane.Show(Item(DisplayKind::System, "", "line 88\r\n"));
        QCOMPARE(pane.view->ScreenLineCount(), 50);
        QCOMPARE(pane.view->document()->firstBlock().text(), QString("line 40"));
    }

    void aFloodFromAnotherThreadLosesNoLogLine() {
        Pane pane;
        constexpr int kItems = 3000;
        std::thread producer([&] {
            for (int i = 0; i < kItems; ++i) {
                pane.queue.PostDisplayItem(
                    Item(DisplayKind::System, "", "item " + std::to_string(i) + "\r\n"));
            }
        });
        std::string expected;
        for (int i = 0; i < kItems; ++i) {
            expected += "item " + std::to_string(i) + "\r\n";
        }
        QTRY_VERIFY_WITH_TIMEOUT(pane.Log().size() >= expected.size(), 20000);
        producer.join();
        QTRY_COMPARE(pane.queue.size(), std::size_t{0});
        QVERIFY(pane.Log() == expected);
        QVERIFY(pane.view->ScreenLineCount() <= CTesselDispView::kTrimAbove);
        QCOMPARE(pane.view->document()->lastBlock().previous().text(), QString("item 2999"));
    }

    // Dragging a splitter to shrink the pane keeps its last line in view.
    void aShrunkPaneKeepsShowingItsLastLine() {
        Pane pane;
        for (int i = 0; i < 40; ++i) {
            pane.Show(Item(DisplayKind::System, "", "line " + std::to_string(i) + "\r\n"));
        }
        pane.view->resize(900, 120);
        QTextCursor end(pane.view->document());
        end.movePosition(QTextCursor::End);
        QTRY_VERIFY(pane.view->viewport()->rect().contains(pane.view->cursorRect(end).center()));
        QApplication::processEvents();
        QVERIFY(pane.view->viewport()->rect().contains(pane.view->cursorRect(end).center()));
    }

    void keysTypedInTheDisplayGoToTheInputPane() {
        // The window outlives the pane, so the pane leaves it on any way out of the test and
        // is deleted once, by its owner.
        QWidget window;
        Pane pane;
        auto* layout = new QVBoxLayout(&window);
        auto* input = new QPlainTextEdit;
        layout->addWidget(input);
        pane.view->setParent(&window);
        layout->addWidget(pane.view.get());
        pane.view->SetKeyTarget(input);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        pane.view->setFocus();
        QTest::keyClicks(pane.view.get(), "2d6");
        QCOMPARE(input->toPlainText(), QString("2d6"));
        QVERIFY(input->hasFocus());
        QCOMPARE(pane.view->toPlainText(), QString("\n"));
    }
};

QTEST_MAIN(DisplayViewTest)
#include "DisplayViewTest.moc"
