// SPDX-License-Identifier: MIT

#pragma once

#include <QPlainTextEdit>
#include <QTextCursor>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "gui/panes/PaneStyle.h"
#include "settings/Settings.h"

namespace tessel::gui {

// The input pane. Enter anywhere in a line hands the whole line (its wrapped parts joined)
// to the connection thread as a command text and leaves the text as it was: at the end of the
// text a new empty line follows, inside it the caret moves to the start of the next line.
// Shift+Enter finishes a line without sending it. Any other change that finishes lines (a
// paste of several lines) sends each line it finished. The pane keeps itself to 20 lines.
class CTesselInputView : public QPlainTextEdit {
    Q_OBJECT

  public:
    static constexpr int kKeepLines = 20;
    // How long a line waits for the mailbox before it is dropped, and the pause after each
    // line handed over, which lets the connection thread send before the next one comes.
    static constexpr std::chrono::milliseconds kSendGiveUp{1000};
    static constexpr std::chrono::milliseconds kSendPause{10};

    // Hands a finished line (code page 932) to the connection; false when it was not taken
    // within the wait.
    using LineSender = std::function<bool(std::string_view line, std::chrono::milliseconds wait)>;

    // Colours and font are read from `settings` now.
    CTesselInputView(const Settings& settings, LineSender send, QWidget* parent = nullptr);

    // The text of the caret's line as code page 932 bytes, at most 255 of them (the words of
    // a key macro's placeholders come from it); nothing when it holds a character that code
    // page 932 cannot hold.
    std::optional<std::string> CaretLineText() const;
    QString CaretLineString() const;
    // What the status bar says of a line that cannot be sent for such a character.
    static QString NotShiftJisMessage(const QString& line);
    // After a key macro took words from the caret's line: when that line is the last one,
    // a fresh empty line follows it and nothing is sent.
    void FinishLineWithoutSending();

    // Raw text from a document on the command line; nothing is sent.
    void LoadRawText(const QString& text);

    void SetColours(std::int32_t text, std::int32_t background);
    void SetInputFont(const QFont& font);
    QFont InputFont() const { return font(); }
    // Colours and font again from the settings.
    void ApplySettings();

    // Tests run with shorter waits.
    void SetSendTiming(std::chrono::milliseconds giveUp, std::chrono::milliseconds pause);

  signals:
    // A Japanese message for the status bar: a line that was refused or dropped.
    void statusMessage(const QString& text);
    // Keyboard focus came (true) or went (false), for the focus toggle between panes.
    void inputFocusChanged(bool hasFocus);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void OnContentsChange(int position, int removed, int added);
    void PressEnter(bool held);
    bool SwallowBackspace() const;
    void TrimToLastLines();
    void MarkCaretUnsent();
    // Hands one finished line to the connection thread; false when the mailbox stayed taken.
    bool SendLine(const QString& line);
    int ScreenLineCount() const;

    const Settings& settings_;
    LineSender send_;
    std::chrono::milliseconds giveUp_ = kSendGiveUp;
    std::chrono::milliseconds pause_ = kSendPause;
    // Where the next scan for finished lines starts; it stays in place when text is typed
    // at it, so a paste there still finds its first line.
    QTextCursor firstUnsent_;
    bool selfEdit_ = false;
};

}  // namespace tessel::gui
