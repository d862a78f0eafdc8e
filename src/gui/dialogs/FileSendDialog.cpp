// SPDX-License-Identifier: MIT

#include "gui/dialogs/FileSendDialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace tessel::gui {

CFileSendDialog::CFileSendDialog(QWidget* parent)
    : CTesselDialog(tr("ファイル送信"), 187, 101, parent) {
    AddOkButton(QStringLiteral("OK"), 7, 80, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 80, 50, 14);
    AddStatic(tr("送り先を指定して下さい   (*:全員)  :"), 7, 7, 104, 8);
    destinationList_ = AddDropDownList(7, 21, 173, 65);
    AddStatic(tr("送るファイルを指定して下さい  :"), 7, 41, 92, 8);
    pathEdit_ = AddEdit(7, 54, 129, 14);
    browseButton_ = AddButton(tr("詳細"), 145, 54, 35, 14);

    connect(destinationList_, &QComboBox::activated, this,
            [this](int index) { m_destination = destinationList_->itemText(index); });
    connect(browseButton_, &QPushButton::clicked, this, &CFileSendDialog::Browse);
}

void CFileSendDialog::ToControls() {
    FillDestinationList(destinationList_, m_handles, m_destination);
    pathEdit_->setText(m_path);
}

bool CFileSendDialog::FromControls() {
    m_path = pathEdit_->text();
    return true;
}

void CFileSendDialog::Browse() {
    FileChoice choice;
    choice.initialPath = pathEdit_->text();
    choice.filter = QStringLiteral("All Files (*)");
    const QString chosen = m_chooseFile(this, choice);
    if (!chosen.isEmpty()) {
        pathEdit_->setText(chosen);
    }
}

}  // namespace tessel::gui
