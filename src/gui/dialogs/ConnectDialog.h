// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

class QCheckBox;

namespace tessel::gui {

// "ホストへの接続": host, port (0 to 65535), handle and channel, and whether a dropped
// connection is made again.
class CConnectDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CConnectDialog(QWidget* parent = nullptr);

    QString m_host;     // 1000
    int m_port = 0;     // 1001, accepted from 0 to 65535
    QString m_handle;   // 1038
    QString m_channel;  // 1039
    bool m_reconnect = false;

    QLineEdit* HostEdit() const { return hostEdit_; }
    QLineEdit* PortEdit() const { return portEdit_; }
    QLineEdit* HandleEdit() const { return handleEdit_; }
    QLineEdit* ChannelEdit() const { return channelEdit_; }
    QCheckBox* ReconnectCheck() const { return reconnectCheck_; }

  protected:
    void ToControls() override;
    bool FromControls() override;
    void SetInitialFocus() override;

  private:
    QLineEdit* hostEdit_;
    QLineEdit* portEdit_;
    QLineEdit* handleEdit_;
    QLineEdit* channelEdit_;
    QCheckBox* reconnectCheck_;
};

}  // namespace tessel::gui
