// SPDX-License-Identifier: MIT

#include "gui/dialogs/PrivateMessageDialog.h"

#include <QComboBox>
#include <QLineEdit>

namespace tessel::gui {

CPrivateMessageDialog::CPrivateMessageDialog(QWidget* parent)
    : CTesselDialog(tr("プライベートメッセージ"), 187, 113, parent) {
    AddOkButton(QStringLiteral("OK"), 7, 92, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 92, 50, 14);
    AddStatic(tr("送り先を指定して下さい    (*:全員)"), 7, 7, 101, 8);
    destinationList_ = AddDropDownList(7, 22, 154, 70);
    messageEdit_ = AddEdit(7, 57, 173, 16);
    AddStatic(tr("送るメッセージ:"), 7, 45, 44, 8);
    // Only a choice the user makes changes the destination; filling the list does not.
    connect(destinationList_, &QComboBox::activated, this,
            [this](int index) { m_destination = destinationList_->itemText(index); });
}

void CPrivateMessageDialog::ToControls() {
    FillDestinationList(destinationList_, m_handles, m_destination);
    messageEdit_->setText(m_message);
}

bool CPrivateMessageDialog::FromControls() {
    if (!CheckCodePage(messageEdit_)) {
        return false;
    }
    m_message = messageEdit_->text();
    return true;
}

void CPrivateMessageDialog::SetInitialFocus() {
    FocusAndSelect(messageEdit_);
}

}  // namespace tessel::gui
