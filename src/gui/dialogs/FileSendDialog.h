// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "ファイル送信": a destination and the file to send.
class CFileSendDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CFileSendDialog(QWidget* parent = nullptr);

    QStringList m_handles;                        // as for the private message dialog
    QString m_destination = QStringLiteral("*");  // in: last destination; out: chosen
    QString m_path;                               // 1013; in: the last file sent

    ChooseFile m_chooseFile = DefaultChooseFile();

    QComboBox* DestinationList() const { return destinationList_; }
    QLineEdit* PathEdit() const { return pathEdit_; }
    QPushButton* BrowseButton() const { return browseButton_; }

  protected:
    void ToControls() override;
    bool FromControls() override;

  private:
    void Browse();

    QComboBox* destinationList_;  // 1015
    QLineEdit* pathEdit_;
    QPushButton* browseButton_;  // 1014
};

}  // namespace tessel::gui
