// SPDX-License-Identifier: MIT

#include "gui/dialogs/ModeDialog.h"

#include <QRadioButton>

namespace tessel::gui {

CModeDialog::CModeDialog(QWidget* parent) : CTesselDialog(tr("モード変更"), 187, 73, parent) {
    AddOkButton(QStringLiteral("OK"), 7, 52, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 52, 50, 14);
    AddGroupBox(tr("ロールの種類"), 7, 7, 173, 33);
    openButton_ = AddRadio(tr("オープンダイス"), 16, 22, 59, 10);
    secretButton_ = AddRadio(tr("シークレットダイス"), 98, 22, 69, 10);
}

void CModeDialog::ToControls() {
    CheckRadioIndex({openButton_, secretButton_}, m_mode);
}

bool CModeDialog::FromControls() {
    m_mode = CheckedRadioIndex({openButton_, secretButton_});
    return true;
}

void CModeDialog::SetInitialFocus() {
    openButton_->setFocus(Qt::OtherFocusReason);
}

}  // namespace tessel::gui
