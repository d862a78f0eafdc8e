// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "ファイル受信指定": the receive directory, and whether files are accepted ("OK") or refused
// ("受信拒否"); both end with the OK result.
class CFileReceiveDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CFileReceiveDialog(QWidget* parent = nullptr);

    // 1013. After "OK" a directory that is not empty ends with "/".
    QString m_directory;
    int m_accept = 0;  // 1 after "OK", 0 after "受信拒否"

    ChooseFile m_chooseFile = DefaultChooseFile();

    QLineEdit* DirectoryEdit() const { return directoryEdit_; }
    QPushButton* RefuseButton() const { return refuseButton_; }
    QPushButton* BrowseButton() const { return browseButton_; }

  protected:
    void ToControls() override;
    bool FromControls() override;

  private:
    void Browse();

    QLineEdit* directoryEdit_;
    QPushButton* refuseButton_;  // 1012
    QPushButton* browseButton_;  // 1014
};

// The directory a path chosen in the browse picker stands for: an existing directory itself,
// otherwise the directory the file is in; always ending with "/".
QString ReceiveDirectoryOf(const QString& chosenPath);

}  // namespace tessel::gui
