// SPDX-License-Identifier: MIT

// The desktop client, offscreen.
//
// Flood: display items posted from another thread as fast as it can, drained and rendered by
// the display pane with its 90/50 trim; items per second until the last one is shown, and the
// longest the GUI thread went without serving a 1 ms timer. Baseline, same run: a bare
// QTextEdit appending the same lines on the GUI thread.
//
// Scroll-back: the same flood into a pane already holding 100,000 kept lines (the largest
// displaylines setting), once following the end and once with the reader scrolled up; the
// resident size it costs, and a find over every kept line. Baseline, same run: the flood into
// the pane at the default setting.
//
// Top cut: the display pane's edit against a rich-text edit holding the same 100,000 lines,
// each cutting a twentieth of them from the top as the pane does while following a flood; the
// longest such cut with the layout that follows it. Baseline, same run: the rich-text edit.
//
// Start-up: the tessel program in a child process, from its exec to the connect dialog shown,
// then connected to a tessel-relay child; its resident size once connected. Baseline, same
// run: a bare QApplication child showing an empty QDialog.
//
// Usage: gui_bench [items]
// GUI_BENCH_KEPT=N sets the scroll-back section's kept lines (default 100,000) for a quicker
// run; GUI_BENCH_NO_STARTUP=1 leaves out the start-up section.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <optional>
#include <string>
#include <thread>

#include <unistd.h>

#include "connection/ConnectionState.h"
#include "display/DisplayQueue.h"
#include "gui/app/TesselApp.h"
#include "gui/dialogs/ConnectDialog.h"
#include "gui/frame/MainFrame.h"
#include "gui/panes/FindBar.h"
#include "gui/panes/TesselDispView.h"
#include "gui/platform/GuiFrontEnd.h"
#include "gui/platform/TextCodec.h"
#include "settings/Settings.h"
#include "support/ChildProcess.h"
#include "support/TempDirectory.h"
#include "views/DisplayDrain.h"

using namespace tessel;
using namespace tessel::gui;
using namespace std::chrono_literals;

namespace {

std::int64_t RealtimeNs() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

long ResidentKib() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

// The GUI thread's longest gap between two turns of a 1 ms timer.
class StallMeter {
  public:
    StallMeter() {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout,
                         [this] { longest_ = std::max(longest_, clock_.restart()); });
        clock_.start();
        timer_.start();
    }
    qint64 longestMs() const { return std::max(longest_, clock_.elapsed()); }

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
};

std::string ItemText(int i) {
    // A typical chat line in code page 932: "今夜のセッション" and a counter.
    return "\x8d\xa1\x96\xe9\x82\xcc\x83\x5a\x83\x62\x83\x56\x83\x87\x83\x93 line " +
           std::to_string(i);
}

struct FloodFigures {
    double itemsPerSecond = 0;
    qint64 stallMs = 0;
    bool lastShown = false;
};

// Posts `items` items from another thread and waits until the pane has shown them all.
FloodFigures PostAndShow(DisplayQueue& queue, CTesselDispView& view, int items, int first) {
    FloodFigures figures;
    StallMeter meter;
    QElapsedTimer clock;
    clock.start();
    std::atomic<bool> posted{false};
    std::thread poster([&] {
        for (int i = first; i < first + items; ++i) {
            queue.PostDisplayItem({"jiro", ItemText(i), DisplayKind::Chat, 0, {}});
        }
        posted = true;
    });
    while (!posted || queue.size() > 0) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    poster.join();
    QApplication::processEvents();
    figures.itemsPerSecond = items * 1000.0 / std::max<qint64>(1, clock.elapsed());
    figures.stallMs = meter.longestMs();
    const QTextBlock last = view.document()->lastBlock().previous();
    figures.lastShown = last.text().endsWith(
        QString::fromLatin1(("line " + std::to_string(first + items - 1)).c_str()));
    return figures;
}

void Flood(int items) {
    test::TempDirectory dir;
    std::optional<Settings> settings = Settings::Open(dir.path());
    GuiFrontEnd frontEnd;
    DisplayQueue queue(frontEnd);
    DisplayDrain drain({queue, nullptr, nullptr, [] { return NotifySettings{}; },
                        [] { return std::string("taro"); }});
    CTesselDispView view(
        *settings, [&drain](DisplaySink& sink, int limit) { return drain.Drain(sink, limit); });
    view.resize(800, 600);
    view.show();
    QObject::connect(&frontEnd, &GuiFrontEnd::displayTextPosted, &view,
                     &CTesselDispView::DrainDisplayQueue);
    QApplication::processEvents();

    const FloodFigures figures = PostAndShow(queue, view, items, 0);
    const double itemsPerSecond = figures.itemsPerSecond;
    const qint64 stall = figures.stallMs;
    const bool last = figures.lastShown;

    double baselinePerSecond = 0;
    qint64 baselineStall = 0;
    {
        QTextEdit bare;
        bare.setReadOnly(true);
        bare.resize(800, 600);
        bare.show();
        QApplication::processEvents();
        StallMeter meter;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < items; ++i) {
            bare.append(QStringLiteral("jiro: ") + FromShiftJis(ItemText(i)));
        }
        QApplication::processEvents();
        baselinePerSecond = items * 1000.0 / std::max<qint64>(1, clock.elapsed());
        baselineStall = meter.longestMs();
    }
    std::printf("flood: %d items, display pane %.0f items/s, longest GUI stall %lld ms%s\n", items,
                itemsPerSecond, static_cast<long long>(stall), last ? "" : " (LAST ITEM MISSING)");
    std::printf("flood baseline: bare QTextEdit append %.0f items/s, longest GUI stall %lld ms\n",
                baselinePerSecond, static_cast<long long>(baselineStall));
    std::printf("flood ratio: display pane / bare append = %.2f\n",
                itemsPerSecond / baselinePerSecond);
}

void ScrollBackFlood(int items) {
    const int kKept = std::getenv("GUI_BENCH_KEPT") != nullptr
                          ? std::atoi(std::getenv("GUI_BENCH_KEPT"))
                          : CTesselDispView::kMostKeptLines;
    auto run = [items](int kept, bool readingBack, const char* label) {
        test::TempDirectory dir;
        std::optional<Settings> settings = Settings::Open(dir.path());
        settings->SetInt(SettingKey::displaylines, kept);
        GuiFrontEnd frontEnd;
        DisplayQueue queue(frontEnd);
        DisplayDrain drain({queue, nullptr, nullptr, [] { return NotifySettings{}; },
                            [] { return std::string("taro"); }});
        const long rssBefore = ResidentKib();
        CTesselDispView view(
            *settings, [&drain](DisplaySink& sink, int limit) { return drain.Drain(sink, limit); });
        view.resize(800, 600);
        view.show();
        QObject::connect(&frontEnd, &GuiFrontEnd::displayTextPosted, &view,
                         &CTesselDispView::DrainDisplayQueue);
        QApplication::processEvents();
        int next = 0;
        QElapsedTimer fill;
        fill.start();
        if (kept > CTesselDispView::kDefaultKeptLines) {
            PostAndShow(queue, view, kept, 0);
            next = kept;
        }
        const qint64 fillMs = fill.elapsed();
        if (readingBack) {
            view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
            QApplication::processEvents();
        }
        const FloodFigures figures = PostAndShow(queue, view, items, next);
        const long rss = ResidentKib() - rssBefore;
        std::printf(
            "scroll-back %s: %d lines kept, %d items at %.0f items/s, longest GUI stall "
            "%lld ms%s; resident +%.1f MiB%s\n",
            label, view.document()->blockCount() - 1, items, figures.itemsPerSecond,
            static_cast<long long>(figures.stallMs),
            figures.lastShown ? "" : " (LAST ITEM MISSING)", rss / 1024.0,
            kept > CTesselDispView::kDefaultKeptLines
                ? (" (filled in " + std::to_string(fillMs) + " ms)").c_str()
                : "");
        if (kept > CTesselDispView::kDefaultKeptLines && !readingBack) {
            // A find over every kept line: the needle is the oldest line's number (and the
            // numbers it begins), and every line is folded and searched.
            view.OpenFindBar();
            QElapsedTimer clock;
            clock.start();
            view.FindBar()->Field()->setText(QStringLiteral("line %1").arg(next + items - kept));
            const qint64 findMs = clock.elapsed();
            clock.restart();
            view.FindBar()->FindNext();
            std::printf(
                "scroll-back find over %d lines: %lld ms to the first match (%d found), "
                "%lld ms to the next\n",
                view.document()->blockCount() - 1, static_cast<long long>(findMs),
                view.FindBar()->MatchCount(), static_cast<long long>(clock.elapsed()));
        }
        return figures;
    };
    const FloodFigures base = run(CTesselDispView::kDefaultKeptLines, false, "default setting");
    const FloodFigures most = run(kKept, false, "largest setting, following");
    const FloodFigures reading = run(kKept, true, "largest setting, reading back");
    std::printf(
        "scroll-back ratio: items/s following %.2f, reading back %.2f of the default; "
        "stall following %.2f, reading back %.2f of the default\n",
        most.itemsPerSecond / base.itemsPerSecond, reading.itemsPerSecond / base.itemsPerSecond,
        static_cast<double>(most.stallMs) / std::max<qint64>(1, base.stallMs),
        static_cast<double>(reading.stallMs) / std::max<qint64>(1, base.stallMs));
}

// Fills `edit` with `lines` chat lines, then cuts a twentieth of them from the top, as many
// times as `cuts`, adding as many at the end between cuts; the longest cut with its layout.
template <typename Edit>
qint64 LongestTopCut(Edit& edit, int lines, int cuts) {
    edit.resize(800, 600);
    edit.show();
    const QString line = FromShiftJis(ItemText(0)) + QStringLiteral("\n");
    auto append = [&edit, &line](int count) {
        QTextCursor cursor(edit.document());
        cursor.movePosition(QTextCursor::End);
        cursor.beginEditBlock();
        for (int i = 0; i < count; ++i) {
            cursor.insertText(line);
        }
        cursor.endEditBlock();
    };
    append(lines);
    edit.verticalScrollBar()->setValue(edit.verticalScrollBar()->maximum());
    QApplication::processEvents();
    const int run = lines / 20;
    qint64 longest = 0;
    for (int i = 0; i < cuts; ++i) {
        append(run);
        QApplication::processEvents();
        QElapsedTimer clock;
        clock.start();
        QTextCursor cursor(edit.document());
        cursor.setPosition(edit.document()->findBlockByNumber(run).position(),
                           QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        edit.verticalScrollBar()->setValue(edit.verticalScrollBar()->maximum());
        QApplication::processEvents();
        longest = std::max(longest, clock.elapsed());
    }
    return longest;
}

void TopCut() {
    const int lines = std::getenv("GUI_BENCH_KEPT") != nullptr
                          ? std::atoi(std::getenv("GUI_BENCH_KEPT"))
                          : CTesselDispView::kMostKeptLines;
    constexpr int kCuts = 5;
    qint64 rich = 0;
    qint64 plain = 0;
    {
        QTextEdit edit;
        edit.document()->setUndoRedoEnabled(false);
        rich = LongestTopCut(edit, lines, kCuts);
    }
    {
        CTesselDispView::Drainer none = [](DisplaySink&, int) { return 0; };
        test::TempDirectory dir;
        std::optional<Settings> settings = Settings::Open(dir.path());
        CTesselDispView pane(*settings, none);
        plain = LongestTopCut(pane, lines, kCuts);
    }
    std::printf(
        "top cut of %d of %d lines: display pane %lld ms, rich-text edit %lld ms (baseline); "
        "ratio %.2f\n",
        lines / 20, lines, static_cast<long long>(plain), static_cast<long long>(rich),
        static_cast<double>(plain) / std::max<qint64>(1, rich));
}

// Child: the tessel program's start-up; prints when its connect dialog is shown and its
// resident size once connected.
int StartupChild(int argc, char** argv) {
    CTesselApp app(argc, argv);
    struct ShowWatch : QObject {
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show && qobject_cast<CConnectDialog*>(watched)) {
                std::printf("dialog_shown_ns=%lld\n", static_cast<long long>(RealtimeNs()));
                std::fflush(stdout);
                QTimer::singleShot(0, static_cast<QDialog*>(watched), &QDialog::accept);
            }
            return false;
        }
    } watch;
    app.installEventFilter(&watch);
    if (!app.InitInstance()) {
        return 1;
    }
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!CurrentChannel().empty()) {
            std::printf("rss_kib=%ld\n", ResidentKib());
            std::fflush(stdout);
            app.MainFrame()->close();
            app.quit();
        }
    });
    poll.start(10);
    return app.exec();
}

// Child: the baseline, an empty dialog of a bare Qt program.
int BareChild(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    struct ShowWatch : QObject {
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Show) {
                std::printf("dialog_shown_ns=%lld\nrss_kib=%ld\n",
                            static_cast<long long>(RealtimeNs()), ResidentKib());
                std::fflush(stdout);
                QTimer::singleShot(0, qApp, &QApplication::quit);
            }
            return false;
        }
    } watch;
    dialog.installEventFilter(&watch);
    dialog.show();
    return app.exec();
}

long long Field(const std::string& output, const std::string& name) {
    const std::size_t at = output.find(name + "=");
    return at == std::string::npos ? -1 : std::atoll(output.c_str() + at + name.size() + 1);
}

void Startup(const char* self) {
    test::TempDirectory relayDir;
    test::ChildProcess relay({TESSEL_RELAY_BINARY, "--listen", "127.0.0.1:0"}, relayDir.path());
    if (!relay.WaitForError("listening on 127.0.0.1:")) {
        std::printf("startup: relay did not start\n");
        return;
    }
    const std::string log = relay.error();
    const std::size_t at = log.find("127.0.0.1:") + 10;
    const std::string port = log.substr(at, log.find_first_not_of("0123456789", at) - at);

    const int runs = 5;
    long long best = -1, bestBare = -1, rss = -1, rssBare = -1;
    for (int run = 0; run < runs; ++run) {
        test::TempDirectory dir;
        dir.Write("tessel.ini", "[Settings]\r\nipaddr=127.0.0.1\r\nport=" + port +
                                    "\r\nname=bench\r\nchannel=main\r\n");
        const long long start = RealtimeNs();
        test::ChildProcess child({self, "--startup-child"}, dir.path());
        if (!child.WaitForOutput("rss_kib=", 20s)) {
            std::printf("startup: the client did not connect\n%s\n", child.error().c_str());
            return;
        }
        const std::string out = child.output();
        const long long shown = (Field(out, "dialog_shown_ns") - start) / 1000000;
        best = best < 0 ? shown : std::min(best, shown);
        rss = std::max(rss, Field(out, "rss_kib"));
        child.Wait(10s);

        const long long bareStart = RealtimeNs();
        test::ChildProcess bare({self, "--bare-child"}, dir.path());
        if (bare.WaitForOutput("rss_kib=", 20s)) {
            const std::string bareOut = bare.output();
            const long long bareShown = (Field(bareOut, "dialog_shown_ns") - bareStart) / 1000000;
            bestBare = bestBare < 0 ? bareShown : std::min(bestBare, bareShown);
            rssBare = std::max(rssBare, Field(bareOut, "rss_kib"));
        }
        bare.Wait(10s);
    }
    std::printf(
        "startup: exec to connect dialog shown %lld ms (best of %d); resident after "
        "connecting %.1f MiB\n",
        best, runs, rss / 1024.0);
    std::printf(
        "startup baseline: bare QApplication to an empty QDialog shown %lld ms; resident "
        "%.1f MiB\n",
        bestBare, rssBare / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc > 1 && std::string(argv[1]) == "--startup-child") {
        int childArgc = 1;
        return StartupChild(childArgc, argv);
    }
    if (argc > 1 && std::string(argv[1]) == "--bare-child") {
        int childArgc = 1;
        return BareChild(childArgc, argv);
    }
    const int items = argc > 1 ? std::max(100, std::atoi(argv[1])) : 20000;
    {
        QApplication app(argc, argv);
        Flood(items);
        ScrollBackFlood(items);
        TopCut();
    }
    if (std::getenv("GUI_BENCH_NO_STARTUP") != nullptr) {
        return 0;
    }
    // The children start in directories of their own: name this program absolutely.
    char self[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    Startup(length > 0 ? self : argv[0]);
    return 0;
}
