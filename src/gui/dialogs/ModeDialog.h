// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "モード変更": open (0) or secret (1) dice.
class CModeDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CModeDialog(QWidget* parent = nullptr);

    int m_mode = -1;  // index in the group starting at 1010; -1 when none is checked

    QRadioButton* OpenButton() const { return openButton_; }
    QRadioButton* SecretButton() const { return secretButton_; }

  protected:
    void ToControls() override;
    bool FromControls() override;
    void SetInitialFocus() override;

  private:
    QRadioButton* openButton_;    // 1010
    QRadioButton* secretButton_;  // 1011
};

}  // namespace tessel::gui
