// SPDX-License-Identifier: MIT

#include "gui/panes/FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolButton>

#include <algorithm>
#include <string_view>

#include "views/FindText.h"

namespace tessel::gui {

namespace {

std::u16string_view Utf16(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.constData()),
            static_cast<std::size_t>(text.size())};
}

}  // namespace

CFindBar::CFindBar(QPlainTextEdit& view, QWidget* parent) : QFrame(parent), view_(view) {
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    auto* label = new QLabel(tr("検索:"));
    field_ = new QLineEdit;
    field_->setClearButtonEnabled(true);
    label->setBuddy(field_);
    previous_ = new QToolButton;
    previous_->setText(tr("▲ 前"));
    previous_->setToolTip(tr("前を検索 (Shift+Enter)"));
    next_ = new QToolButton;
    next_->setText(tr("▼ 次"));
    next_->setToolTip(tr("次を検索 (Enter)"));
    status_ = new QLabel;
    status_->setMinimumWidth(status_->fontMetrics().horizontalAdvance(tr("見つかりません")) + 8);
    close_ = new QToolButton;
    close_->setText(QStringLiteral("×"));
    close_->setToolTip(tr("閉じる (Esc)"));
    layout->addWidget(label);
    layout->addWidget(field_, 1);
    layout->addWidget(previous_);
    layout->addWidget(next_);
    layout->addWidget(status_);
    layout->addWidget(close_);

    connect(field_, &QLineEdit::textChanged, this, [this] { Search(Direction::kFromHere); });
    connect(next_, &QToolButton::clicked, this, &CFindBar::FindNext);
    connect(previous_, &QToolButton::clicked, this, &CFindBar::FindPrevious);
    connect(close_, &QToolButton::clicked, this, &CFindBar::Close);
    field_->installEventFilter(this);
}

void CFindBar::Open() {
    show();
    field_->setFocus(Qt::ShortcutFocusReason);
    field_->selectAll();
    if (!field_->text().isEmpty()) {
        Search(Direction::kFromHere);
    }
}

void CFindBar::Close() {
    view_.setExtraSelections({});
    QTextCursor cursor = view_.textCursor();
    cursor.clearSelection();
    view_.setTextCursor(cursor);
    current_ = QTextCursor();
    hide();
}

void CFindBar::FindNext() {
    Search(Direction::kNext);
}

void CFindBar::FindPrevious() {
    Search(Direction::kPrevious);
}

std::vector<CFindBar::Match> CFindBar::AllMatches() const {
    std::vector<Match> matches;
    const FindText needle(Utf16(field_->text()));
    if (needle.empty()) {
        return matches;
    }
    // A display line is one block, and a match never runs across a line end.
    const QTextDocument& document = *view_.document();
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QString text = block.text();
        for (const FindText::Span& span : needle.MatchesIn(Utf16(text))) {
            matches.emplace_back(block.position() + static_cast<int>(span.start),
                                 static_cast<int>(span.length));
        }
    }
    return matches;
}

void CFindBar::Search(Direction direction) {
    const std::vector<Match> matches = AllMatches();
    if (matches.empty()) {
        ShowNone(field_->text().isEmpty());
        return;
    }
    // Where to look from: the match shown now, or the top of the view when there is none
    // (or the lines it was on have been trimmed away).
    const bool haveCurrent = current_.hasSelection();
    const int start =
        haveCurrent ? current_.selectionStart() : view_.cursorForPosition(QPoint(0, 0)).position();
    const auto at = [&](int position) {
        return static_cast<std::size_t>(
            std::lower_bound(matches.begin(), matches.end(), Match{position, 0}) - matches.begin());
    };
    std::size_t index = 0;
    switch (direction) {
        case Direction::kFromHere:
            // Typing on keeps the match where it is while it still matches there.
            index = at(start);
            break;
        case Direction::kNext:
            index = haveCurrent ? at(start + 1) : at(start);
            break;
        case Direction::kPrevious: {
            const std::size_t before = at(start);
            index = before == 0 ? matches.size() - 1 : before - 1;
            break;
        }
    }
    if (index >= matches.size()) {
        index = 0;  // past the last match: round to the first
    }
    Show(matches, index);
}

void CFindBar::Show(const std::vector<Match>& matches, std::size_t index) {
    const auto [position, length] = matches[index];
    current_ = QTextCursor(view_.document());
    current_.setPosition(position);
    current_.setPosition(position + length, QTextCursor::KeepAnchor);
    matchNumber_ = static_cast<int>(index) + 1;
    matchCount_ = static_cast<int>(matches.size());
    // The highlight holds while the focus stays in the field, where a selection alone would
    // be drawn in the inactive colour.
    QTextEdit::ExtraSelection highlight;
    highlight.cursor = current_;
    highlight.format.setBackground(QColor(0xFF, 0xD8, 0x00));
    highlight.format.setForeground(Qt::black);
    view_.setExtraSelections({highlight});
    view_.setTextCursor(current_);
    view_.ensureCursorVisible();
    status_->setText(tr("%1 / %2").arg(matchNumber_).arg(matchCount_));
    field_->setStyleSheet(QString());
}

void CFindBar::ShowNone(bool nothingTyped) {
    matchNumber_ = 0;
    matchCount_ = 0;
    current_ = QTextCursor();
    view_.setExtraSelections({});
    QTextCursor cursor = view_.textCursor();
    cursor.clearSelection();
    view_.setTextCursor(cursor);
    status_->setText(nothingTyped ? QString() : tr("見つかりません"));
    field_->setStyleSheet(nothingTyped ? QString()
                                       : QStringLiteral("QLineEdit { background: #ffd0d0; }"));
}

bool CFindBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool shift = (key->modifiers() & Qt::ShiftModifier) != 0;
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                shift ? FindPrevious() : FindNext();
                return true;
            case Qt::Key_Down:
                FindNext();
                return true;
            case Qt::Key_Up:
                FindPrevious();
                return true;
            case Qt::Key_Escape:
                Close();
                return true;
            default:
                break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void CFindBar::keyPressEvent(QKeyEvent* event) {
    // A key the field leaves alone (Shift on its own, before a capital) would go on to the
    // pane, which hands every key to the input pane and the focus with it.
    event->accept();
}

void CFindBar::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    emit visibilityChanged();
}

void CFindBar::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    emit visibilityChanged();
}

}  // namespace tessel::gui
