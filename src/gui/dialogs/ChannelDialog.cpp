// SPDX-License-Identifier: MIT

#include "gui/dialogs/ChannelDialog.h"

#include <QLineEdit>

namespace tessel::gui {

CChannelDialog::CChannelDialog(QWidget* parent)
    : CTesselDialog(tr("チャネルに入る"), 187, 51, parent) {
    AddOkButton(QStringLiteral("OK"), 7, 30, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 30, 50, 14);
    AddStatic(tr("入るチャネルを入力して下さい  :"), 7, 7, 94, 8);
    channelEdit_ = AddEdit(105, 7, 75, 14);
}

void CChannelDialog::ToControls() {
    channelEdit_->setText(m_channel);
}

bool CChannelDialog::FromControls() {
    if (!CheckCodePage(channelEdit_)) {
        return false;
    }
    m_channel = channelEdit_->text();
    return true;
}

void CChannelDialog::SetInitialFocus() {
    FocusAndSelect(channelEdit_);
}

}  // namespace tessel::gui
