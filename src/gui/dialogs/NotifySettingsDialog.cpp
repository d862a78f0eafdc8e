// SPDX-License-Identifier: MIT

#include "gui/dialogs/NotifySettingsDialog.h"

#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <utility>

namespace tessel::gui {

CNotifySettingsDialog::CNotifySettingsDialog(PlaySound playSound, QWidget* parent)
    : CTesselDialog(tr("通知設定"), 187, 153, parent), playSound_(std::move(playSound)) {
    AddGroupBox(tr("通知文字列"), 7, 40, 173, 46);
    notifyEdits_[0] = AddEdit(14, 50, 78, 14);
    notifyEdits_[1] = AddEdit(98, 50, 76, 14);
    notifyEdits_[2] = AddEdit(14, 66, 78, 14);
    notifyEdits_[3] = AddEdit(98, 66, 76, 14);
    AddStatic(tr("鳴らすサウンド："), 7, 93, 47, 8);
    soundEdit_ = AddEdit(14, 106, 115, 14);
    // Plain buttons in the template; Return still confirms, as it does in any dialog.
    okButton_ = AddOkButton(tr("ＯＫ"), 14, 132, 50, 14);
    cancelButton_ = AddCancelButton(tr("キャンセル"), 123, 132, 50, 14);
    testButton_ = AddButton(tr("テスト"), 136, 91, 44, 14);
    browseButton_ = AddButton(tr("詳細"), 146, 106, 34, 14);
    modeButtons_[0] = AddRadio(tr("通知しない"), 7, 10, 47, 10);
    modeButtons_[1] = AddRadio(tr("呼ばれたら通知"), 7, 20, 62, 10);
    modeButtons_[2] = AddRadio(tr("ハンドルでも通知"), 7, 30, 66, 10);

    for (QLineEdit* edit : notifyEdits_) {
        connect(edit, &QLineEdit::textEdited, this, [this] { ReadFields(); });
    }
    soundEdit_->installEventFilter(this);
    connect(testButton_, &QPushButton::clicked, this, &CNotifySettingsDialog::Test);
    connect(browseButton_, &QPushButton::clicked, this, &CNotifySettingsDialog::Browse);
}

QLineEdit* CNotifySettingsDialog::NotifyEdit(int index) const {
    return index >= 0 && index < 4 ? notifyEdits_[index] : nullptr;
}

QRadioButton* CNotifySettingsDialog::ModeButton(int index) const {
    return index >= 0 && index < 3 ? modeButtons_[index] : nullptr;
}

bool CNotifySettingsDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == soundEdit_ && event->type() == QEvent::FocusOut) {
        LeaveSoundField();
    }
    return CTesselDialog::eventFilter(watched, event);
}

void CNotifySettingsDialog::ToControls() {
    notifyEdits_[0]->setText(m_notifyString1);
    notifyEdits_[1]->setText(m_notifyString2);
    notifyEdits_[2]->setText(m_notifyString3);
    notifyEdits_[3]->setText(m_notifyString4);
    soundEdit_->setText(m_soundFile);
    CheckRadioIndex({modeButtons_[0], modeButtons_[1], modeButtons_[2]}, m_mode);
}

void CNotifySettingsDialog::LeaveSoundField() {
    ReadFields();
    m_soundFile = WithWavExtension(m_soundFile);
    ToControls();
}

bool CNotifySettingsDialog::FromControls() {
    // Confirming with Return leaves the focus in the sound field; the field is left all the same,
    // so the stored name does not depend on how the dialog was closed.
    if (focusWidget() == soundEdit_) {
        LeaveSoundField();
    }
    for (QLineEdit* edit : notifyEdits_) {
        if (!CheckCodePage(edit)) {
            return false;
        }
    }
    ReadFields();
    return true;
}

void CNotifySettingsDialog::ReadFields() {
    m_notifyString1 = notifyEdits_[0]->text();
    m_notifyString2 = notifyEdits_[1]->text();
    m_notifyString3 = notifyEdits_[2]->text();
    m_notifyString4 = notifyEdits_[3]->text();
    m_soundFile = soundEdit_->text();
    m_mode = CheckedRadioIndex({modeButtons_[0], modeButtons_[1], modeButtons_[2]});
}

void CNotifySettingsDialog::Browse() {
    FileChoice choice;
    choice.initialPath = m_waveDirectory + QStringLiteral("sample.wav");
    choice.filter = QStringLiteral("Wave Files (*.wav);;All Files (*)");
    const QString chosen = m_chooseFile(this, choice);
    if (chosen.isEmpty()) {
        return;
    }
    // Everything else as the user left it, only the sound replaced.
    ReadFields();
    m_soundFile = chosen;
    ToControls();
}

void CNotifySettingsDialog::Test() {
    if (playSound_) {
        playSound_(SoundTestPath(m_waveDirectory, soundEdit_->text()));
    }
}

}  // namespace tessel::gui
