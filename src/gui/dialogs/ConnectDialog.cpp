// SPDX-License-Identifier: MIT

#include "gui/dialogs/ConnectDialog.h"

#include <QCheckBox>
#include <QLineEdit>

namespace tessel::gui {
namespace {

constexpr int kPortMinimum = 0;
constexpr int kPortMaximum = 65535;
// A host name travels in a field of 256 bytes with its terminating zero.
constexpr int kMaxHostBytes = 255;

}  // namespace

CConnectDialog::CConnectDialog(QWidget* parent)
    : CTesselDialog(tr("ホストへの接続"), 187, 145, parent) {
    AddOkButton(QStringLiteral("OK"), 7, 124, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 124, 50, 14);
    AddStatic(tr("ホストのIPアドレス、ポートを入力して下さい"), 7, 7, 125, 8);
    AddStatic(tr("IPアドレス   :"), 7, 28, 38, 8);
    AddStatic(tr("ポート    :"), 7, 49, 29, 8);
    hostEdit_ = AddEdit(59, 22, 121, 14);
    portEdit_ = AddEdit(59, 43, 40, 14);
    AddStatic(tr("ハンドル   :"), 7, 82, 33, 8);
    AddStatic(tr("チャネル  :"), 7, 106, 32, 8);
    handleEdit_ = AddEdit(59, 76, 112, 14);
    channelEdit_ = AddEdit(59, 100, 112, 14);
    // Between the buttons, so the dialog keeps its size; last in Tab order.
    reconnectCheck_ = new QCheckBox(tr("自動再接続"), this);
    reconnectCheck_->setGeometry(Units().Rect(62, 126, 64, 10));
}

void CConnectDialog::ToControls() {
    hostEdit_->setText(m_host);
    portEdit_->setText(QString::number(m_port));
    handleEdit_->setText(m_handle);
    channelEdit_->setText(m_channel);
    reconnectCheck_->setChecked(m_reconnect);
}

bool CConnectDialog::FromControls() {
    // Checked in template order, so the first field in error gets the focus.
    if (!CheckCodePage(hostEdit_) || !CheckByteLength(hostEdit_, kMaxHostBytes)) {
        return false;
    }
    const std::optional<int> port = ReadInteger(portEdit_, kPortMinimum, kPortMaximum);
    if (!port || !CheckCodePage(handleEdit_) || !CheckCodePage(channelEdit_)) {
        return false;
    }
    m_host = hostEdit_->text();
    m_port = *port;
    m_handle = handleEdit_->text();
    m_channel = channelEdit_->text();
    m_reconnect = reconnectCheck_->isChecked();
    return true;
}

void CConnectDialog::SetInitialFocus() {
    FocusAndSelect(hostEdit_);
}

}  // namespace tessel::gui
