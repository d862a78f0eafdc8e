#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "ホストへの接続": host, port (0 to 65535), handle and channel.
class CConnectDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CConnectDialog(QWidget* parent = nullptr);

    QString m_host;     // 1000
    int m_port = 0;     // 1001, accepted from 0 to 65535
    QString m_handle;   // 1038
    QString m_channel;  // 1039

    QLineEdit* HostEdit() const { return hostEdit_; }
    QLineEdit* PortEdit() const { return portEdit_; }
    QLineEdit* HandleEdit() const { return handleEdit_; }
    QLineEdit* ChannelEdit() const { return channelEdit_; }

  protected:
    void ToControls() override;
    bool FromControls() override;
    void SetInitialFocus() override;

  private:
    QLineEdit* hostEdit_;
    QLineEdit* portEdit_;
    QLineEdit* handleEdit_;
    QLineEdit* channelEdit_;
};

}  // namespace tessel::gui
