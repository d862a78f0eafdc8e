// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "クライアント設定": whom the user list shows (0 the own channel, 1 everyone on the server),
// and how many lines the display pane keeps for reading back.
class CClientSettingsDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CClientSettingsDialog(QWidget* parent = nullptr);

    // The range of the kept lines; the least keeps the pane's classic rule.
    static constexpr int kFewestLines = 50;
    static constexpr int kMostLines = 100000;

    int m_scope = -1;  // index in the group starting at 1010; -1 when none is checked
    int m_lines = kFewestLines;

    QRadioButton* ChannelButton() const { return channelButton_; }
    QRadioButton* ServerButton() const { return serverButton_; }
    QLineEdit* LinesEdit() const { return linesEdit_; }

  protected:
    void ToControls() override;
    bool FromControls() override;

  private:
    QRadioButton* channelButton_;  // 1010
    QRadioButton* serverButton_;   // 1011
    QLineEdit* linesEdit_;
    bool linesFilled_ = false;
};

}  // namespace tessel::gui
