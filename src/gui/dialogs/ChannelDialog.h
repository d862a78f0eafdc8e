// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "チャネルに入る": the channel to join.
class CChannelDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CChannelDialog(QWidget* parent = nullptr);

    QString m_channel;  // 1003

    QLineEdit* ChannelEdit() const { return channelEdit_; }

  protected:
    void ToControls() override;
    bool FromControls() override;
    void SetInitialFocus() override;

  private:
    QLineEdit* channelEdit_;
};

}  // namespace tessel::gui
