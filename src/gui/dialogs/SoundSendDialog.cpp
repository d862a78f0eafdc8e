// SPDX-License-Identifier: MIT

#include "gui/dialogs/SoundSendDialog.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

namespace tessel::gui {

CSoundSendDialog::CSoundSendDialog(PlaySound playSound, QWidget* parent)
    : CTesselDialog(tr("サウンド送信"), 187, 101, parent), playSound_(std::move(playSound)) {
    AddOkButton(QStringLiteral("OK"), 7, 80, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 80, 50, 14);
    AddStatic(tr("送り先を指定して下さい   (*:全員)  :"), 7, 7, 104, 8);
    destinationList_ = AddDropDownList(7, 21, 173, 65);
    AddStatic(tr("鳴らすサウンド指定して下さい  :"), 7, 41, 93, 8);
    soundEdit_ = AddEdit(7, 55, 129, 14);
    browseButton_ = AddButton(tr("詳細"), 145, 55, 35, 14);
    testButton_ = AddButton(tr("テスト..."), 143, 37, 37, 14);

    soundEdit_->installEventFilter(this);
    connect(destinationList_, &QComboBox::activated, this,
            [this](int index) { m_destination = destinationList_->itemText(index); });
    connect(browseButton_, &QPushButton::clicked, this, &CSoundSendDialog::Browse);
    connect(testButton_, &QPushButton::clicked, this, &CSoundSendDialog::Test);
}

bool CSoundSendDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == soundEdit_ && event->type() == QEvent::FocusOut) {
        soundEdit_->setText(WithWavExtension(soundEdit_->text()));
    }
    return CTesselDialog::eventFilter(watched, event);
}

void CSoundSendDialog::ToControls() {
    FillDestinationList(destinationList_, m_handles, m_destination);
    soundEdit_->setText(m_sound);
}

bool CSoundSendDialog::FromControls() {
    // Confirming with Return leaves the focus in the field; the field is left all the same, so
    // the request names the same file whichever way the dialog was confirmed.
    if (focusWidget() == soundEdit_) {
        soundEdit_->setText(WithWavExtension(soundEdit_->text()));
    }
    if (!CheckCodePage(soundEdit_)) {
        return false;
    }
    m_sound = soundEdit_->text();
    return true;
}

void CSoundSendDialog::SetInitialFocus() {
    FocusAndSelect(soundEdit_);
}

void CSoundSendDialog::Browse() {
    FileChoice choice;
    choice.initialPath = m_waveDirectory + QStringLiteral("sample.wav");
    choice.filter = QStringLiteral("Wave Files (*.wav);;All Files (*)");
    const QString chosen = m_chooseFile(this, choice);
    if (!chosen.isEmpty()) {
        soundEdit_->setText(chosen);
    }
}

void CSoundSendDialog::Test() {
    if (playSound_) {
        playSound_(SoundTestPath(m_waveDirectory, soundEdit_->text()));
    }
}

}  // namespace tessel::gui
