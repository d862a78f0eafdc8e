// SPDX-License-Identifier: MIT

#pragma once

#include "gui/dialogs/TesselDialog.h"

namespace tessel::gui {

// "サウンド送信": a destination and the sound to play there; the name gets ".wav" when it has
// none, and the test button plays it here.
class CSoundSendDialog : public CTesselDialog {
    Q_OBJECT

  public:
    explicit CSoundSendDialog(PlaySound playSound, QWidget* parent = nullptr);

    QStringList m_handles;
    QString m_destination = QStringLiteral("*");
    QString m_sound;          // 1013, empty at first
    QString m_waveDirectory;  // the local sound directory, ending with "/"

    ChooseFile m_chooseFile = DefaultChooseFile();

    QComboBox* DestinationList() const { return destinationList_; }
    QLineEdit* SoundEdit() const { return soundEdit_; }
    QPushButton* BrowseButton() const { return browseButton_; }
    QPushButton* TestButton() const { return testButton_; }

  protected:
    void ToControls() override;
    bool FromControls() override;
    void SetInitialFocus() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Browse();
    void Test();

    PlaySound playSound_;
    QComboBox* destinationList_;  // 1015
    QLineEdit* soundEdit_;
    QPushButton* browseButton_;  // 1014
    QPushButton* testButton_;    // 1020
};

}  // namespace tessel::gui
