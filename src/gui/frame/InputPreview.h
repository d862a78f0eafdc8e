// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <QString>

class QStatusBar;

namespace tessel::gui {

class CTesselInputView;

// Keeps the status bar saying what Enter would do with the input pane's caret line, while
// the user types: the kind of request and what it carries, or why the line cannot go. Its
// words come from the core's reading of the line, the one that prepares the request.
class CInputPreview : public QObject {
    Q_OBJECT

  public:
    CInputPreview(CTesselInputView* input, QStatusBar* bar, QObject* parent = nullptr);

    // What the status bar says of `line` (as the input pane holds it).
    static QString Text(const QString& line, bool connected);

    // The caret's line, or the connection, changed.
    void Refresh();

  private:
    CTesselInputView* input_;
    QStatusBar* bar_;
    QString shown_;  // the preview last put in the status bar
};

}  // namespace tessel::gui
