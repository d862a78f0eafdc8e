// SPDX-License-Identifier: MIT

#include "gui/dialogs/NameDialog.h"

#include <QLineEdit>

namespace tessel::gui {

CNameDialog::CNameDialog(QWidget* parent) : CTesselDialog(tr("名前登録"), 187, 67, parent) {
    AddOkButton(QStringLiteral("OK"), 7, 46, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 46, 50, 14);
    AddStatic(tr("名前を入力して下さい"), 7, 7, 64, 8);
    handleEdit_ = AddEdit(7, 23, 142, 14);
}

void CNameDialog::ToControls() {
    handleEdit_->setText(m_handle);
}

bool CNameDialog::FromControls() {
    if (!CheckCodePage(handleEdit_)) {
        return false;
    }
    m_handle = handleEdit_->text();
    return true;
}

void CNameDialog::SetInitialFocus() {
    FocusAndSelect(handleEdit_);
}

}  // namespace tessel::gui
