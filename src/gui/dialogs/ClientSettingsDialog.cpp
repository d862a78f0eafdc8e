#include "gui/dialogs/ClientSettingsDialog.h"

#include <QRadioButton>

namespace tessel::gui {

CClientSettingsDialog::CClientSettingsDialog(QWidget* parent)
    : CTesselDialog(tr("クライアント設定"), 187, 85, parent) {
    AddOkButton(QStringLiteral("OK"), 7, 64, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 64, 50, 14);
    channelButton_ = AddRadio(tr("自分がいるチャネルのユーザーのみ"), 11, 17, 122, 10);
    serverButton_ = AddRadio(tr("サーバに入っている全員"), 11, 31, 87, 10);
    AddGroupBox(tr("ユーザー一覧の表示法"), 7, 7, 173, 40);
}

void CClientSettingsDialog::ToControls() {
    CheckRadioIndex({channelButton_, serverButton_}, m_scope);
}

bool CClientSettingsDialog::FromControls() {
    m_scope = CheckedRadioIndex({channelButton_, serverButton_});
    return true;
}

}  // namespace tessel::gui
