// SPDX-License-Identifier: MIT

#include "gui/frame/InputPreview.h"

#include <QStatusBar>

#include "connection/ConnectionState.h"
#include "gui/panes/TesselInputView.h"
#include "gui/platform/TextCodec.h"
#include "protocol/CommandParser.h"
#include "views/InputPreview.h"

namespace tessel::gui {

CInputPreview::CInputPreview(CTesselInputView* input, QStatusBar* bar, QObject* parent)
    : QObject(parent), input_(input), bar_(bar) {
    connect(input_, &QPlainTextEdit::cursorPositionChanged, this, &CInputPreview::Refresh);
    connect(input_, &QPlainTextEdit::textChanged, this, &CInputPreview::Refresh);
}

QString CInputPreview::Text(const QString& line, bool connected) {
    const std::optional<std::string> bytes = TypedTextToShiftJis(line);
    if (!bytes) {
        return tr("Enter: 送信できません(「%1」はシフトJISで表せない文字です)")
            .arg(FirstUntypable(line));
    }
    return FromShiftJis(DescribeTypedLine(ReadTypedLine(*bytes), connected));
}

void CInputPreview::Refresh() {
    const QString line = input_->CaretLineString();
    if (line.isEmpty()) {
        // An empty line says nothing; a message of the frame's own (a refusal just shown for
        // the line Enter finished) stays.
        if (!shown_.isEmpty() && bar_->currentMessage() == shown_) {
            bar_->clearMessage();
        }
        shown_.clear();
        return;
    }
    const QString text = Text(line, IsConnected());
    if (text != bar_->currentMessage()) {
        bar_->showMessage(text);
    }
    shown_ = text;
}

}  // namespace tessel::gui
