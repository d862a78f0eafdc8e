// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "名前登録": the handle to register.
class CNameDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CNameDialog(QWidget* parent = nullptr);

    QString m_handle;  // 1002

    QLineEdit* HandleEdit() const { return handleEdit_; }

  protected:
    void ToControls() override;
    bool FromControls() override;
    void SetInitialFocus() override;

  private:
    QLineEdit* handleEdit_;
};

}  // namespace tessel::gui
