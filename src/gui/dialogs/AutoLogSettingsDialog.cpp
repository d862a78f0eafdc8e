// SPDX-License-Identifier: MIT

#include "gui/dialogs/AutoLogSettingsDialog.h"

#include <QLineEdit>

namespace tessel::gui {

CAutoLogSettingsDialog::CAutoLogSettingsDialog(QWidget* parent)
    : CTesselDialog(tr("自動ログ設定"), 187, 131, parent) {
    AddOkButton(QStringLiteral("OK"), 7, 111, 50, 13);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 111, 50, 13);
    AddStatic(tr("自動ログディレクトリ:"), 7, 13, 60, 8);
    AddStatic(tr("ファイルネーム:"), 7, 29, 46, 8);
    directoryEdit_ = AddEdit(70, 10, 110, 14);
    patternEdit_ = AddEdit(70, 26, 110, 14);
    AddStatic(tr("ファイルネームには以下のタグが使用できます。"), 7, 51, 140, 8);
    AddStatic(tr("%y 西暦(2桁)　　%Y 西暦(4桁)　　%m 月　　%d 日"), 24, 66, 138, 8);
    AddStatic(tr("%H 時間　　　%M 分　　　%S 秒"), 24, 82, 87, 8);
    AddStatic(tr("%C 現在のチャネル　　　%N 現在のハンドル"), 24, 97, 126, 8);
}

void CAutoLogSettingsDialog::ToControls() {
    directoryEdit_->setText(m_logDir);
    patternEdit_->setText(m_autoLogName);
}

bool CAutoLogSettingsDialog::FromControls() {
    // Both become parts of file names, kept in code page 932.
    if (!CheckCodePage(directoryEdit_) || !CheckCodePage(patternEdit_)) {
        return false;
    }
    m_logDir = directoryEdit_->text();
    m_autoLogName = patternEdit_->text();
    return true;
}

}  // namespace tessel::gui
