// SPDX-License-Identifier: MIT

#include "gui/dialogs/ClientSettingsDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace tessel::gui {

CClientSettingsDialog::CClientSettingsDialog(QWidget* parent)
    : CTesselDialog(tr("クライアント設定"), 187, 113, parent) {
    AddOkButton(QStringLiteral("OK"), 7, 92, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 92, 50, 14);
    channelButton_ = AddRadio(tr("自分がいるチャネルのユーザーのみ"), 11, 17, 122, 10);
    serverButton_ = AddRadio(tr("サーバに入っている全員"), 11, 31, 87, 10);
    AddGroupBox(tr("ユーザー一覧の表示法"), 7, 7, 173, 40);
    // Added below the classic controls, which keep their places and Tab order.
    linesEdit_ = AddEdit(118, 65, 50, 12);
    AddStatic(tr("残す行数 (50～100000):"), 11, 67, 104, 8)->setBuddy(linesEdit_);
    AddGroupBox(tr("表示ペイン"), 7, 53, 173, 30);
}

void CClientSettingsDialog::ToControls() {
    CheckRadioIndex({channelButton_, serverButton_}, m_scope);
    linesEdit_->setText(QString::number(m_lines));
    linesFilled_ = true;
}

bool CClientSettingsDialog::FromControls() {
    // Confirmed without ever being shown (by its owner's code), the count stays as given.
    if (linesFilled_) {
        const std::optional<int> lines = ReadInteger(linesEdit_, kFewestLines, kMostLines);
        if (!lines) {
            return false;
        }
        m_lines = *lines;
    }
    m_scope = CheckedRadioIndex({channelButton_, serverButton_});
    return true;
}

}  // namespace tessel::gui
