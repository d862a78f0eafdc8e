// SPDX-License-Identifier: MIT

#pragma once

#include <QFrame>
#include <QTextCursor>

#include <utility>
#include <vector>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QToolButton;

namespace tessel::gui {

// The find bar over the display pane: searches everything the pane holds as the user types,
// matching ASCII in either case and the wide and narrow forms of ASCII and kana as one. Enter
// or the down arrow finds the next match, Shift+Enter or the up arrow the previous one, both
// wrapping at the ends; Escape closes the bar. The current match is selected in the pane and
// scrolled into view.
class CFindBar : public QFrame {
    Q_OBJECT

  public:
    CFindBar(QPlainTextEdit& view, QWidget* parent);

    // Shows the bar with the focus in its field, the last text selected.
    void Open();
    // Hides the bar and clears the highlight; the pane keeps its place.
    void Close();

    void FindNext();
    void FindPrevious();

    QLineEdit* Field() const { return field_; }
    QToolButton* NextButton() const { return next_; }
    QToolButton* PreviousButton() const { return previous_; }
    QLabel* Status() const { return status_; }
    // The match shown now (no selection when there is none) and its place among all.
    QTextCursor Current() const { return current_; }
    int MatchNumber() const { return matchNumber_; }
    int MatchCount() const { return matchCount_; }

  signals:
    void visibilityChanged();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    enum class Direction { kFromHere, kNext, kPrevious };
    using Match = std::pair<int, int>;  // document position and length

    void Search(Direction direction);
    std::vector<Match> AllMatches() const;
    void Show(const std::vector<Match>& matches, std::size_t index);
    void ShowNone(bool nothingTyped);

    QPlainTextEdit& view_;
    QLineEdit* field_;
    QToolButton* previous_;
    QToolButton* next_;
    QToolButton* close_;
    QLabel* status_;
    QTextCursor current_;
    int matchNumber_ = 0;
    int matchCount_ = 0;
};

}  // namespace tessel::gui
