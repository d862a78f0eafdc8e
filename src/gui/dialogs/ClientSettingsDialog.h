#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "クライアント設定": whom the user list shows (0 the own channel, 1 everyone on the server).
class CClientSettingsDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CClientSettingsDialog(QWidget* parent = nullptr);

    int m_scope = -1;  // index in the group starting at 1010; -1 when none is checked

    QRadioButton* ChannelButton() const { return channelButton_; }
    QRadioButton* ServerButton() const { return serverButton_; }

  protected:
    void ToControls() override;
    bool FromControls() override;

  private:
    QRadioButton* channelButton_;  // 1010
    QRadioButton* serverButton_;   // 1011
};

}  // namespace tessel::gui
