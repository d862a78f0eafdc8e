// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "キーカスタマイズ": the key definition file to load, with a browse button and an edit button
// that opens the file in the text editor.
class CKeyConfigDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CKeyConfigDialog(OpenEditor openEditor, QWidget* parent = nullptr);

    QString m_path;  // 1013

    ChooseFile m_chooseFile = DefaultChooseFile();

    QLineEdit* PathEdit() const { return pathEdit_; }
    QPushButton* BrowseButton() const { return browseButton_; }
    QPushButton* EditButton() const { return editButton_; }

  protected:
    void ToControls() override;
    bool FromControls() override;

  private:
    void Browse();
    void Edit();

    OpenEditor openEditor_;
    QLineEdit* pathEdit_;
    QPushButton* browseButton_;  // 1014
    QPushButton* editButton_;    // 1040
};

}  // namespace tessel::gui
