#pragma once

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QTextCharFormat>
#include <QTextEdit>

#include <functional>

#include <array>
#include <cstdint>

#include "settings/Settings.h"
#include "views/DisplayDrain.h"

namespace tessel::gui {

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
class CTesselDispView : public QTextEdit {
    Q_OBJECT

  public:
    // The pane grows past kTrimAbove lines only within one batch; it is then cut back to its
    // last kKeepLines lines.
    static constexpr int kTrimAbove = 90;
    static constexpr int kKeepLines = 50;

    // Shows up to `limit` waiting items through `sink`; returns how many it showed.
    using Drainer = std::function<int(DisplaySink& sink, int limit)>;

    // Colours and font are read from `settings` now.
    CTesselDispView(const Settings& settings, Drainer drain, QWidget* parent = nullptr);

    // Where keys typed into this pane go (the input pane).
    void SetKeyTarget(QWidget* target) { keyTarget_ = target; }

    void SetColours(const DisplayColours& colours);
    DisplayColours Colours() const { return colours_; }
    // New text is shown in `font`; text already shown keeps its font.
    void SetDisplayFont(const QFont& font);
    QFont DisplayFont() const { return displayFont_; }
    // Both again from the settings (after the colour or font dialog stored them).
    void ApplySettings();

    // Laid-out lines, as the trim counts them.
    int ScreenLineCount() const;

  public slots:
    // GUI thread: shows waiting items in bounded batches, trims once per batch, and comes
    // back on a later turn of the event loop while items remain, so a flood never freezes
    // the window.
    void DrainDisplayQueue();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    class Sink;
    void AppendRun(ColourMarker slot, std::string_view bytes);
    void TrimOldLines();
    void ScheduleNextTurn();

    const Settings& settings_;
    Drainer drain_;
    QPointer<QWidget> keyTarget_;
    DisplayColours colours_;
    std::array<QTextCharFormat, 4> runFormats_;
    QFont displayFont_;
    bool turnScheduled_ = false;
    int itemsPerTurn_ = 64;
};

}  // namespace tessel::gui
