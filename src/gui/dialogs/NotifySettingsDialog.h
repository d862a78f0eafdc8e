// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "通知設定": when to play the call sound (0 never, 1 on a notify string, 2 also on the own
// handle), the four notify strings and the sound file.
class CNotifySettingsDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CNotifySettingsDialog(PlaySound playSound, QWidget* parent = nullptr);

    QString m_notifyString1;  // 1047
    QString m_notifyString2;  // 1048
    QString m_notifyString3;  // 1049
    QString m_notifyString4;  // 1050
    QString m_soundFile;      // 1051
    int m_mode = -1;          // index in the group starting at 1057; -1 when none is checked
    QString m_waveDirectory;  // the local sound directory, ending with "/"

    ChooseFile m_chooseFile = DefaultChooseFile();

    QLineEdit* NotifyEdit(int index) const;  // 0 to 3
    QLineEdit* SoundEdit() const { return soundEdit_; }
    QRadioButton* ModeButton(int index) const;  // 0 to 2
    QPushButton* OkButton() const { return okButton_; }
    QPushButton* CancelButton() const { return cancelButton_; }
    QPushButton* TestButton() const { return testButton_; }
    QPushButton* BrowseButton() const { return browseButton_; }

  protected:
    void ToControls() override;
    bool FromControls() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Browse();
    void Test();
    void ReadFields();
    void LeaveSoundField();

    PlaySound playSound_;
    QLineEdit* notifyEdits_[4];
    QLineEdit* soundEdit_;
    QPushButton* okButton_;      // 1052
    QPushButton* cancelButton_;  // 1053
    QPushButton* testButton_;    // 1056
    QPushButton* browseButton_;  // 1055
    QRadioButton* modeButtons_[3];
};

}  // namespace tessel::gui
