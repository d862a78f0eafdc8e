// SPDX-License-Identifier: MIT

#include "gui/panes/TesselInputView.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <thread>

#include "gui/platform/TextCodec.h"
#include "protocol/ProtocolState.h"
#include "views/DisplayLine.h"

namespace tessel::gui {

namespace {

// The caret's line as a key macro reads it: at most this many bytes.
constexpr std::size_t kMacroLineBytes = 255;

}  // namespace

CTesselInputView::CTesselInputView(const Settings& settings, LineSender send, QWidget* parent)
    : QPlainTextEdit(parent), settings_(settings), send_(std::move(send)) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ApplySettings();
    firstUnsent_ = QTextCursor(document());
    // Text typed or pasted at the scan start stays after it, so the scan still sees it.
    firstUnsent_.setKeepPositionOnInsert(true);
    connect(document(), &QTextDocument::contentsChange, this, &CTesselInputView::OnContentsChange);
}

void CTesselInputView::SetSendTiming(std::chrono::milliseconds giveUp,
                                     std::chrono::milliseconds pause) {
    giveUp_ = giveUp;
    pause_ = pause;
}

void CTesselInputView::SetColours(std::int32_t text, std::int32_t background) {
    setPalette(PanePalette(palette(), ColourFromRef(text), ColourFromRef(background)));
}

void CTesselInputView::SetInputFont(const QFont& font) {
    setFont(font);
    // Taller lines would leave the caret's line cut at the bottom edge until the next key:
    // once the text is laid out again in the new font, it is brought back into view.
    QTimer::singleShot(0, this, [this] { ensureCursorVisible(); });
}

void CTesselInputView::ApplySettings() {
    SetColours(settings_.GetInt(SettingKey::inputcolor),
               settings_.GetInt(SettingKey::inputbkcolor));
    SetInputFont(FontFromSettings(settings_, SettingKey::inputfontname, SettingKey::inputfontsize));
}

std::optional<std::string> CTesselInputView::CaretLineText() const {
    const std::optional<std::string> bytes = TypedTextToShiftJis(CaretLineString());
    if (!bytes) {
        return std::nullopt;
    }
    return std::string(CutAtCharacter(*bytes, kMacroLineBytes));
}

QString CTesselInputView::CaretLineString() const {
    return textCursor().block().text();
}

QString CTesselInputView::NotShiftJisMessage(const QString& line) {
    return tr("「%1」はシフトJISで表せない文字のため、この行は送信しませんでした。")
        .arg(FirstUntypable(line));
}

void CTesselInputView::FinishLineWithoutSending() {
    QTextCursor cursor = textCursor();
    if (cursor.block().next().isValid()) {
        return;
    }
    cursor.movePosition(QTextCursor::End);
    selfEdit_ = true;
    cursor.insertText(QStringLiteral("\n"));
    selfEdit_ = false;
    setTextCursor(cursor);
    ensureCursorVisible();
    MarkCaretUnsent();
}

void CTesselInputView::LoadRawText(const QString& text) {
    selfEdit_ = true;
    setPlainText(text);
    selfEdit_ = false;
    MarkCaretUnsent();
}

void CTesselInputView::MarkCaretUnsent() {
    firstUnsent_.setPosition(textCursor().position());
}

bool CTesselInputView::SendLine(const QString& line) {
    const std::optional<std::string> bytes = TypedTextToShiftJis(line);
    if (!bytes) {
        emit statusMessage(NotShiftJisMessage(line));
        return true;
    }
    std::string_view text = *bytes;
    if (text.size() > kMaxCommandText) {
        text = CutAtCharacter(text, kMaxCommandText);
        emit statusMessage(
            tr("行が長すぎるため、先頭の%1バイトだけを送信しました。").arg(text.size()));
    }
    if (!send_(text, giveUp_)) {
        emit statusMessage(
            tr("前の要求の送信が終わらないため、入力した行を送信できませんでした。"));
        return false;
    }
    std::this_thread::sleep_for(pause_);
    return true;
}

void CTesselInputView::OnContentsChange(int position, int /*removed*/, int added) {
    if (selfEdit_ || added == 0) {
        return;
    }
    // The lines this change finished: from where it started (never above the scan start,
    // which keeps a mere re-layout of the whole text from counting as a change) up to the
    // caret's line.
    const QTextDocument* doc = document();
    const int first = std::max(doc->findBlock(firstUnsent_.position()).blockNumber(),
                               doc->findBlock(position).blockNumber());
    const int current = textCursor().blockNumber();
    for (int number = first; number < current; ++number) {
        if (!SendLine(doc->findBlockByNumber(number).text())) {
            break;  // the rest of this change is dropped with the first that could not go
        }
    }
    MarkCaretUnsent();
}

void CTesselInputView::PressEnter(bool held) {
    QTextCursor cursor = textCursor();
    cursor.clearSelection();
    const QTextBlock line = cursor.block();
    if (!held) {
        SendLine(line.text());
    }
    if (line.next().isValid()) {
        // Inside the text the line stays as it is and the caret moves to the next one.
        cursor.setPosition(line.next().position());
    } else {
        cursor.movePosition(QTextCursor::End);
        selfEdit_ = true;
        cursor.insertText(QStringLiteral("\n"));
        selfEdit_ = false;
    }
    setTextCursor(cursor);
    ensureCursorVisible();
    TrimToLastLines();
    MarkCaretUnsent();
}

bool CTesselInputView::SwallowBackspace() const {
    // A finished line above an empty one cannot be reopened with Backspace.
    const QTextCursor cursor = textCursor();
    return !cursor.hasSelection() && cursor.block().length() == 1 && cursor.blockNumber() > 0;
}

namespace {

// The laid-out lines of `block`, laying it out first if it has not been yet.
int LinesOf(const QTextBlock& block, QAbstractTextDocumentLayout* layout) {
    if (block.layout() == nullptr) {
        return 1;
    }
    if (block.layout()->lineCount() == 0 && layout != nullptr) {
        layout->blockBoundingRect(block);
    }
    return std::max(1, block.layout()->lineCount());
}

}  // namespace

int CTesselInputView::ScreenLineCount() const {
    int lines = 0;
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        lines += LinesOf(block, layout);
    }
    return lines;
}

void CTesselInputView::TrimToLastLines() {
    const int lines = ScreenLineCount();
    if (lines <= kKeepLines) {
        return;
    }
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    int skip = lines - kKeepLines;
    int cut = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        const int blockLines = LinesOf(block, layout);
        if (skip < blockLines) {
            const QTextLayout* text = block.layout();
            cut =
                block.position() +
                (text != nullptr && text->lineCount() > skip ? text->lineAt(skip).textStart() : 0);
            break;
        }
        skip -= blockLines;
    }
    QTextCursor cursor(document());
    cursor.setPosition(cut, QTextCursor::KeepAnchor);
    selfEdit_ = true;
    cursor.removeSelectedText();
    selfEdit_ = false;
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void CTesselInputView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Shift is taken from this key press itself, so every Shift+Enter holds its line.
        PressEnter(event->modifiers().testFlag(Qt::ShiftModifier));
        event->accept();
        return;
    }
    if (key == Qt::Key_Backspace &&
        (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0 &&
        SwallowBackspace()) {
        event->accept();
        MarkCaretUnsent();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    MarkCaretUnsent();
}

void CTesselInputView::inputMethodEvent(QInputMethodEvent* event) {
    QPlainTextEdit::inputMethodEvent(event);
    MarkCaretUnsent();
}

void CTesselInputView::mousePressEvent(QMouseEvent* event) {
    QPlainTextEdit::mousePressEvent(event);
    MarkCaretUnsent();
}

void CTesselInputView::mouseReleaseEvent(QMouseEvent* event) {
    QPlainTextEdit::mouseReleaseEvent(event);
    MarkCaretUnsent();
}

void CTesselInputView::focusInEvent(QFocusEvent* event) {
    QPlainTextEdit::focusInEvent(event);
    emit inputFocusChanged(true);
}

void CTesselInputView::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    emit inputFocusChanged(false);
}

}  // namespace tessel::gui
