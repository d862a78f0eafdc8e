// SPDX-License-Identifier: MIT

#include "gui/panes/TesselDispView.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QKeySequence>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "gui/panes/FindBar.h"
#include "gui/panes/PaneStyle.h"
#include "gui/platform/TextCodec.h"

namespace tessel::gui {

namespace {

// How long one turn of the event loop may spend showing items, layout and trim included,
// before input and painting get their turn; and the bounds of the number of items a turn
// takes, which adapts to what the last turns cost.
constexpr qint64 kTurnBudgetMs = 12;
constexpr int kFewestPerTurn = 8;
constexpr int kMostPerTurn = 4096;

std::size_t SlotIndex(ColourMarker slot) {
    const auto index = static_cast<std::size_t>(slot);
    return index < 4 ? index : 0;
}

}  // namespace

DisplayColours DisplayColours::FromSettings(const Settings& settings) {
    DisplayColours colours;
    colours.text = settings.GetInt(SettingKey::dispcolor);
    colours.background = settings.GetInt(SettingKey::dispbkcolor);
    colours.name = settings.GetInt(SettingKey::dispnamecolor);
    colours.system = settings.GetInt(SettingKey::dispsyscolor);
    colours.dice = settings.GetInt(SettingKey::dispdicecolor);
    return colours;
}

class CTesselDispView::Sink : public DisplaySink {
  public:
    explicit Sink(CTesselDispView& view) : view_(view) {}
    void AppendRun(ColourMarker slot, std::string_view text) override {
        view_.AppendRun(slot, text);
    }

  private:
    CTesselDispView& view_;
};

CTesselDispView::CTesselDispView(const Settings& settings, Drainer drain, QWidget* parent)
    : QPlainTextEdit(parent), settings_(settings), drain_(std::move(drain)) {
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A transcript has nothing to undo; keeping the history would only cost memory.
    document()->setUndoRedoEnabled(false);
    ApplySettings();
    keptLines_ =
        std::clamp(settings.GetInt(SettingKey::displaylines), kDefaultKeptLines, kMostKeptLines);

    indicator_ = new QToolButton(viewport());
    indicator_->setCursor(Qt::PointingHandCursor);
    indicator_->setFocusPolicy(Qt::NoFocus);
    indicator_->hide();
    connect(indicator_, &QToolButton::clicked, this, &CTesselDispView::JumpToEnd);
    findBar_ = new CFindBar(*this, this);
    findBar_->hide();
    connect(findBar_, &CFindBar::visibilityChanged, this, &CTesselDispView::PlaceOverlays);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &CTesselDispView::OnScrolled);
    connect(verticalScrollBar(), &QScrollBar::rangeChanged, this,
            &CTesselDispView::OnScrollRangeChanged);
    // The edit moves the scroll bar without a signal when it brings the cursor into view (a
    // find does): the view's own scroll tells of those.
    connect(this, &QPlainTextEdit::updateRequest, this, [this](const QRect&, int dy) {
        if (dy != 0) {
            OnScrolled(verticalScrollBar()->value());
        }
    });
    // The pane starts with one empty line.
    QTextCursor cursor(document());
    cursor.insertText(QStringLiteral("\n"), runFormats_[0]);
}

void CTesselDispView::SetColours(const DisplayColours& colours) {
    colours_ = colours;
    setPalette(
        PanePalette(palette(), ColourFromRef(colours.text), ColourFromRef(colours.background)));
    const std::array<std::int32_t, 4> slotColours = {colours.text, colours.name, colours.system,
                                                     colours.dice};
    for (std::size_t i = 0; i < slotColours.size(); ++i) {
        runFormats_[i].setForeground(ColourFromRef(slotColours[i]));
    }
}

void CTesselDispView::SetDisplayFont(const QFont& font) {
    displayFont_ = font;
    // Runs carry the font they were shown in, so only new text takes the new one; the
    // pane's own font only sizes the empty line at the end.
    for (QTextCharFormat& format : runFormats_) {
        format.setFont(font, QTextCharFormat::FontPropertiesAll);
    }
    setFont(font);
}

void CTesselDispView::ApplySettings() {
    SetColours(DisplayColours::FromSettings(settings_));
    SetDisplayFont(FontFromSettings(settings_, SettingKey::fontname, SettingKey::fontsize));
}

void CTesselDispView::AppendRun(ColourMarker slot, std::string_view bytes) {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // Line ends arrive as CR LF; the cursor turns each into one paragraph break.
    cursor.insertText(FromShiftJis(bytes), runFormats_[SlotIndex(slot)]);
}

void CTesselDispView::DrainDisplayQueue() {
    if (turnScheduled_) {
        return;  // a turn is already on its way and will show these items too
    }

    // A reader who has selected text keeps the selection and the place they scrolled to.
    const bool follow = Following();
    QElapsedTimer clock;
    clock.start();
    Sink sink(*this);
    int shown = 0;
    const int blocksBefore = document()->blockCount();
    {
        // One edit for the whole batch: the document is laid out once, at its end, which is
        // why the batch is bounded by a count rather than by watching the clock.
        QTextCursor batch(document());
        batch.beginEditBlock();
        shown = drain_(sink, itemsPerTurn_);
        batch.endEditBlock();
    }
    if (KeepsScrollBack()) {
        if (!follow) {
            waitingBelow_ += document()->blockCount() - blocksBefore;
            UpdateIndicator();
        }
        TrimToKeptLines();
    } else {
        TrimOldLines();
    }
    if (follow) {
        QTextCursor end = textCursor();
        end.movePosition(QTextCursor::End);
        setTextCursor(end);
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
    const bool more = shown == itemsPerTurn_;
    if (clock.elapsed() > kTurnBudgetMs) {
        itemsPerTurn_ = std::max(kFewestPerTurn, itemsPerTurn_ / 2);
    } else if (more) {
        itemsPerTurn_ = std::min(kMostPerTurn, itemsPerTurn_ + itemsPerTurn_ / 4 + 1);
    }
    if (more) {
        ScheduleNextTurn();
    }
}

void CTesselDispView::ScheduleNextTurn() {
    if (turnScheduled_) {
        return;
    }
    turnScheduled_ = true;
    // A zero timer runs after the input and paint events already waiting.
    QTimer::singleShot(0, this, [this] {
        turnScheduled_ = false;
        DrainDisplayQueue();
    });
}

int CTesselDispView::ScreenLineCount() const {
    // The plain layout places a line only when it is shown; one not yet placed is placed here,
    // so its wrapped lines count as the reader would see them.
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block.layout() == nullptr || block.layout()->lineCount() == 0) {
            layout->blockBoundingRect(block);
        }
        const int laidOut = block.layout() != nullptr ? block.layout()->lineCount() : 0;
        lines += laidOut > 0 ? laidOut : 1;
    }
    return lines;
}

void CTesselDispView::TrimOldLines() {
    // Every line of text takes at least one screen line, so with more than 90 of them the
    // pane is over in any case, and none but the last 50 can stay: those before go first,
    // unplaced, and only the rest is laid out and counted.
    const bool over = document()->blockCount() > kTrimAbove;
    if (over) {
        QTextCursor early(document());
        early.setPosition(
            document()->findBlockByNumber(document()->blockCount() - kKeepLines).position(),
            QTextCursor::KeepAnchor);
        early.removeSelectedText();
    }
    const int lines = ScreenLineCount();
    if ((!over && lines <= kTrimAbove) || lines <= kKeepLines) {
        return;
    }
    // Everything before the first character of line (lines - 50) goes.
    int skip = lines - kKeepLines;
    int cut = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const int laidOut = block.layout() != nullptr ? block.layout()->lineCount() : 0;
        const int blockLines = laidOut > 0 ? laidOut : 1;
        if (skip < blockLines) {
            cut = block.position() + (laidOut > 0 ? block.layout()->lineAt(skip).textStart() : 0);
            break;
        }
        skip -= blockLines;
    }
    QTextCursor cursor(document());
    cursor.setPosition(cut, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

bool CTesselDispView::Following() const {
    if (KeepsScrollBack()) {
        return !readingBack_ && !textCursor().hasSelection();
    }
    return !textCursor().hasSelection();
}

void CTesselDispView::SetKeptLines(int lines) {
    keptLines_ = std::clamp(lines, kDefaultKeptLines, kMostKeptLines);
    if (!KeepsScrollBack()) {
        readingBack_ = false;
        waitingBelow_ = 0;
        UpdateIndicator();
        TrimOldLines();
    } else {
        TrimToKeptLines(true);
    }
}

void CTesselDispView::TrimToKeptLines(bool force) {
    // The text ends with a line end, so the last block is the empty line being written.
    // Cutting at the top makes the document lay out every line below again, so lines are cut
    // in runs of a twentieth of the kept count at a time rather than a few per batch.
    const int excess = document()->blockCount() - 1 - keptLines_;
    if (excess <= 0 || (excess <= TrimSlack(keptLines_) && !force)) {
        return;
    }
    // Cutting lines above the reader would slide the text under them: remember which line
    // is at the top of the view, and which of its wrapped lines, and put it back. The scroll
    // bar counts screen lines.
    QScrollBar* bar = verticalScrollBar();
    const bool hold = !Following();
    int topNumber = 0;
    int intoLine = 0;
    if (hold) {
        const QTextBlock top = firstVisibleBlock();
        topNumber = top.blockNumber();
        intoLine = bar->value() - top.firstLineNumber();
    }
    const int cut = document()->findBlockByNumber(excess).position();
    QTextCursor cursor(document());
    cursor.setPosition(cut, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    if (hold) {
        if (topNumber < excess) {
            // The line being read is gone: the oldest one left takes its place.
            topNumber = excess;
            intoLine = 0;
        }
        const QTextBlock block = document()->findBlockByNumber(topNumber - excess);
        bar->setValue(block.firstLineNumber() + intoLine);
    }
}

void CTesselDispView::OnScrolled(int value) {
    if (!KeepsScrollBack()) {
        return;
    }
    readingBack_ = value < verticalScrollBar()->maximum();
    if (!readingBack_ && waitingBelow_ != 0) {
        waitingBelow_ = 0;
        UpdateIndicator();
    }
}

void CTesselDispView::OnScrollRangeChanged() {
    // The document is laid out after the batch that grew it: a reader at the end stays there.
    if (KeepsScrollBack() && Following()) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    }
}

void CTesselDispView::JumpToEnd() {
    QTextCursor end = textCursor();
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(bar->maximum());
    readingBack_ = false;
    waitingBelow_ = 0;
    UpdateIndicator();
}

CTesselDispView::~CTesselDispView() {
    // The find bar is hidden as a child while QWidget's destructor runs, when this is no
    // longer a display pane to place it in.
    disconnect(findBar_, nullptr, this, nullptr);
}

void CTesselDispView::OpenFindBar() {
    findBar_->Open();
}

void CTesselDispView::UpdateIndicator() {
    if (waitingBelow_ <= 0) {
        indicator_->hide();
        return;
    }
    indicator_->setText(tr("▼ 新しい行 %1").arg(waitingBelow_));
    indicator_->adjustSize();
    PlaceOverlays();
    indicator_->show();
    indicator_->raise();
}

void CTesselDispView::PlaceOverlays() {
    // The find bar takes a strip above the text rather than covering its first line.
    const int barHeight = !findBar_->isHidden() ? findBar_->sizeHint().height() : 0;
    setViewportMargins(0, barHeight, 0, 0);
    const QRect inside = contentsRect();
    findBar_->setGeometry(inside.left(), inside.top(), viewport()->width(), barHeight);
    const QSize size = indicator_->sizeHint();
    const int margin = 4;
    indicator_->setGeometry(viewport()->width() - size.width() - margin,
                            viewport()->height() - size.height() - margin, size.width(),
                            size.height());
}

void CTesselDispView::resizeEvent(QResizeEvent* event) {
    // A reader at the end stays at the end when the pane shrinks (a splitter dragged): the
    // last line stays in view rather than the first ones.
    QScrollBar* bar = verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    QPlainTextEdit::resizeEvent(event);
    PlaceOverlays();
    if (atEnd) {
        bar->setValue(bar->maximum());
        // The document is laid out again for the new width only later; by then the reader may
        // have scrolled away or selected a line (a find), which wins.
        QTimer::singleShot(0, this, [this] {
            if (Following()) {
                verticalScrollBar()->setValue(verticalScrollBar()->maximum());
            }
        });
    }
}

void CTesselDispView::keyPressEvent(QKeyEvent* event) {
    // A reader looking back returns to the newest line with End; otherwise End is the input
    // pane's, as every other key.
    if (KeepsScrollBack() && (readingBack_ || waitingBelow_ != 0) && event->key() == Qt::Key_End &&
        (event->modifiers() & ~(Qt::ControlModifier | Qt::KeypadModifier)) == 0) {
        JumpToEnd();
        event->accept();
        return;
    }
    // Copying what was selected stays here; every other key belongs to the input pane.
    if (keyTarget_ == nullptr || event->matches(QKeySequence::Copy) ||
        event->matches(QKeySequence::SelectAll)) {
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    keyTarget_->setFocus(Qt::OtherFocusReason);
    QKeyEvent forwarded(event->type(), event->key(), event->modifiers(), event->nativeScanCode(),
                        event->nativeVirtualKey(), event->nativeModifiers(), event->text(),
                        event->isAutoRepeat(), static_cast<quint16>(event->count()));
    QApplication::sendEvent(keyTarget_, &forwarded);
    event->accept();
}

}  // namespace tessel::gui
