// SPDX-License-Identifier: MIT

#include "gui/dialogs/KeyConfigDialog.h"

#include <QLineEdit>
#include <QPushButton>

#include <utility>

namespace tessel::gui {

CKeyConfigDialog::CKeyConfigDialog(OpenEditor openEditor, QWidget* parent)
    : CTesselDialog(tr("キーカスタマイズ"), 187, 95, parent), openEditor_(std::move(openEditor)) {
    AddOkButton(QStringLiteral("OK"), 7, 74, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 74, 50, 14);
    AddStatic(tr("読み込むデータファイルを指定して下さい。"), 7, 7, 124, 8);
    pathEdit_ = AddEdit(7, 26, 122, 14);
    browseButton_ = AddButton(tr("詳細"), 140, 26, 33, 14);
    editButton_ = AddButton(tr("編集"), 140, 46, 33, 14);

    connect(browseButton_, &QPushButton::clicked, this, &CKeyConfigDialog::Browse);
    connect(editButton_, &QPushButton::clicked, this, &CKeyConfigDialog::Edit);
}

void CKeyConfigDialog::ToControls() {
    pathEdit_->setText(m_path);
}

bool CKeyConfigDialog::FromControls() {
    m_path = pathEdit_->text();
    return true;
}

void CKeyConfigDialog::Browse() {
    FileChoice choice;
    choice.initialPath = pathEdit_->text();
    choice.filter = QStringLiteral("Key Define File (*.key);;All Files (*)");
    const QString chosen = m_chooseFile(this, choice);
    if (!chosen.isEmpty()) {
        pathEdit_->setText(chosen);
    }
}

void CKeyConfigDialog::Edit() {
    // The file shown in the field is the one opened, typed or browsed.
    const QString path = pathEdit_->text();
    if (!path.isEmpty() && openEditor_) {
        openEditor_(path);
    }
}

}  // namespace tessel::gui
