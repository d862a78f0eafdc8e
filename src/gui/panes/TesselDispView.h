// SPDX-License-Identifier: MIT

#pragma once

#include <QColor>
#include <QFont>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextCharFormat>

class QToolButton;

#include <functional>

#include <array>
#include <cstdint>

#include "settings/Settings.h"
#include "views/DisplayDrain.h"

namespace tessel::gui {

class CFindBar;

// The four run colours and the background of the display pane, as stored (0x00BBGGRR).
struct DisplayColours {
    std::int32_t text = 0xFFFFFF;        // dispcolor: normal runs and the default
    std::int32_t background = 0x000000;  // dispbkcolor
    std::int32_t name = 0xFFFF00;        // dispnamecolor
    std::int32_t system = 0x80FFFF;      // dispsyscolor
    std::int32_t dice = 0xFFFFFF;        // dispdicecolor

    static DisplayColours FromSettings(const Settings& settings);
};

// The display pane: everything the connection produces, read-only, each run in the colour
// its marker selects. Text arrives only through the display queue, drained here on the GUI
// thread through the core's drain, which also runs the notification check and writes the log.
//
// With the displaylines setting above its default the pane keeps that many lines for reading
// back: a reader who has scrolled up stays where they are while lines arrive, and a small
// indicator counts the lines waiting below. At the default it keeps the classic 90/50 rule and
// always shows the newest line.
//
// A plain-text edit rather than a rich one: its layout places each line only when it is
// shown, so cutting old lines from the top of a long pane costs the lines cut, not every line
// kept below them. Coloured runs are char formats, which it draws all the same.
class CTesselDispView : public QPlainTextEdit {
    Q_OBJECT

  public:
    // The pane grows past kTrimAbove lines only within one batch; it is then cut back to its
    // last kKeepLines lines.
    static constexpr int kTrimAbove = 90;
    static constexpr int kKeepLines = 50;
    // The range of the displaylines setting; the least is the default and the classic rule.
    static constexpr int kDefaultKeptLines = kKeepLines;
    static constexpr int kMostKeptLines = 100000;
    // Above the default, how many lines past the kept count the pane may hold before it cuts
    // back to the count.
    static constexpr int TrimSlack(int keptLines) { return keptLines / 20; }

    // Shows up to `limit` waiting items through `sink`; returns how many it showed.
    using Drainer = std::function<int(DisplaySink& sink, int limit)>;

    // Colours and font are read from `settings` now.
    CTesselDispView(const Settings& settings, Drainer drain, QWidget* parent = nullptr);
    ~CTesselDispView() override;

    // Where keys typed into this pane go (the input pane).
    void SetKeyTarget(QWidget* target) { keyTarget_ = target; }

    void SetColours(const DisplayColours& colours);
    DisplayColours Colours() const { return colours_; }
    // New text is shown in `font`; text already shown keeps its font.
    void SetDisplayFont(const QFont& font);
    QFont DisplayFont() const { return displayFont_; }
    // Both again from the settings (after the colour or font dialog stored them).
    void ApplySettings();

    // Screen lines (wrapped lines counted apiece), as the classic trim counts them; lays out
    // every line it counts.
    int ScreenLineCount() const;

    // Lines kept for reading back, clamped to the setting's range.
    void SetKeptLines(int lines);
    int KeptLines() const { return keptLines_; }
    bool KeepsScrollBack() const { return keptLines_ > kDefaultKeptLines; }
    // The reader has scrolled away from the end (only when keeping scroll-back).
    bool ReadingBack() const { return readingBack_; }
    // Lines shown below the reader's place since they scrolled up.
    int LinesWaitingBelow() const { return waitingBelow_; }
    QToolButton* WaitingIndicator() const { return indicator_; }
    CFindBar* FindBar() const { return findBar_; }

  public slots:
    // GUI thread: shows waiting items in bounded batches, trims once per batch, and comes
    // back on a later turn of the event loop while items remain, so a flood never freezes
    // the window.
    void DrainDisplayQueue();
    // Back to the newest line; the reader is following again.
    void JumpToEnd();
    void OpenFindBar();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    class Sink;
    void AppendRun(ColourMarker slot, std::string_view bytes);
    void TrimOldLines();
    // `force`: cut to the kept count now, without the usual run of extra lines.
    void TrimToKeptLines(bool force = false);
    void ScheduleNextTurn();
    bool Following() const;
    void OnScrolled(int value);
    void OnScrollRangeChanged();
    void UpdateIndicator();
    void PlaceOverlays();

    const Settings& settings_;
    Drainer drain_;
    QPointer<QWidget> keyTarget_;
    DisplayColours colours_;
    std::array<QTextCharFormat, 4> runFormats_;
    QFont displayFont_;
    bool turnScheduled_ = false;
    int itemsPerTurn_ = 64;
    int keptLines_ = kDefaultKeptLines;
    bool readingBack_ = false;
    int waitingBelow_ = 0;
    QToolButton* indicator_ = nullptr;  // owned by the viewport
    CFindBar* findBar_ = nullptr;       // owned by this pane
};

}  // namespace tessel::gui
