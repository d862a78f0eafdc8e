// SPDX-License-Identifier: MIT

// The options menu: receive directory, file send, the sound switch, sound send and the
// notification settings.
#include "gui/dialogs/FileReceiveDialog.h"
#include "gui/dialogs/FileSendDialog.h"
#include "gui/dialogs/NotifySettingsDialog.h"
#include "gui/dialogs/SoundSendDialog.h"
#include "gui/frame/MainFrame.h"
#include "gui/platform/TextCodec.h"

namespace tessel::gui {

void CMainFrame::OnFileReceive() {
    CFileReceiveDialog dialog(this);
    dialog.m_directory = FromCorePath(settings_.GetString(SettingKey::savefiledir));
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    QString directory = dialog.m_directory;
    if (dialog.m_accept == 1 && !directory.isEmpty() && !directory.endsWith(QLatin1Char('/'))) {
        directory += QLatin1Char('/');
    }
    recvFile_ = dialog.m_accept == 1 ? 1 : 0;
    settings_.SetString(SettingKey::savefiledir, ToCorePathOrEmpty(directory));
    settings_.SetInt(SettingKey::isrecvfile, recvFile_);
}

void CMainFrame::OnSoundReceive() {
    recvWave_ = recvWave_ == 1 ? 0 : 1;
    settings_.SetInt(SettingKey::isrecvwave, recvWave_);
}

void CMainFrame::OnFileSend() {
    if (core_->FileSendBusy()) {
        ShowStatus(tr("ファイルを送信中です"));
        return;
    }
    CFileSendDialog dialog(this);
    dialog.m_handles = KnownHandles();
    dialog.m_destination = lastTarget_;
    dialog.m_path = FromCorePath(settings_.GetString(SettingKey::prevsendfile));
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    lastTarget_ = dialog.m_destination;
    const std::optional<std::string> destination = DialogText(dialog.m_destination);
    if (!destination) {
        return;
    }
    // The core keeps paths in code page 932 and reads through the file's own (UTF-8) name;
    // a path it could not name again is refused rather than sent as something else.
    const std::optional<std::string> path = ToCorePath(dialog.m_path);
    if (!path) {
        ShowStatus(tr("ファイル名に Shift-JIS で表せない文字があります"));
        return;
    }
    switch (core_->SendFile(*destination, *path)) {
        case FileSender::Start::Started:
            settings_.SetString(SettingKey::prevsendfile, *path);
            break;
        case FileSender::Start::Busy:
            ShowStatus(tr("ファイルを送信中です"));
            break;
        case FileSender::Start::TooLarge:
            ShowStatus(tr("ファイル %1 は %2 バイトを超えるため送信しません")
                           .arg(dialog.m_path)
                           .arg(kMaxSendFileSize));
            break;
        case FileSender::Start::CannotRead:
            ShowStatus(tr("ファイル %1 を読めません").arg(dialog.m_path));
            break;
    }
}

void CMainFrame::OnFileSendChanged(const FileSendProgress& progress) {
    const QString name = FromShiftJis(progress.name);
    switch (progress.state) {
        case FileSendProgress::State::Sending:
            ShowStatus(tr("ファイル %1 を送信中 (%2/%3)")
                           .arg(name)
                           .arg(progress.sent)
                           .arg(progress.total));
            break;
        case FileSendProgress::State::Sent:
            ShowStatus(tr("ファイル %1 を送信しました").arg(name));
            break;
        case FileSendProgress::State::Stopped:
            ShowStatus(tr("ファイル %1 の送信を中断しました").arg(name));
            break;
    }
}

void CMainFrame::OnSoundSend() {
    CSoundSendDialog dialog([this](const QString& path) { sound_.Play(ToCorePathOrEmpty(path)); },
                            this);
    dialog.m_handles = KnownHandles();
    dialog.m_destination = lastTarget_;
    dialog.m_waveDirectory = FromCorePath(settings_.WaveDirectory());
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    lastTarget_ = dialog.m_destination;
    const QString soundName = dialog.m_sound.section(QLatin1Char('/'), -1);
    const std::optional<std::string> destination = DialogText(dialog.m_destination);
    const std::optional<std::string> name = DialogText(soundName);
    if (destination && name) {
        core_->SendSound(*destination, *name);
    }
}

void CMainFrame::OnNotifySettings() {
    CNotifySettingsDialog dialog(
        [this](const QString& path) { sound_.Play(ToCorePathOrEmpty(path)); }, this);
    const SettingKey strings[] = {SettingKey::notifystring1, SettingKey::notifystring2,
                                  SettingKey::notifystring3, SettingKey::notifystring4};
    QString* members[] = {&dialog.m_notifyString1, &dialog.m_notifyString2, &dialog.m_notifyString3,
                          &dialog.m_notifyString4};
    for (int i = 0; i < 4; ++i) {
        *members[i] = FromShiftJis(settings_.GetString(strings[i]));
    }
    dialog.m_soundFile = FromCorePath(settings_.GetString(SettingKey::notifysoundfile));
    dialog.m_mode = settings_.GetInt(SettingKey::isnotify);
    dialog.m_waveDirectory = FromCorePath(settings_.WaveDirectory());
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    std::optional<std::string> texts[4];
    for (int i = 0; i < 4; ++i) {
        texts[i] = DialogText(*members[i]);
        if (!texts[i]) {
            return;
        }
    }
    settings_.SetInt(SettingKey::isnotify, dialog.m_mode);
    for (int i = 0; i < 4; ++i) {
        settings_.SetString(strings[i], *texts[i]);
    }
    settings_.SetString(SettingKey::notifysoundfile, ToCorePathOrEmpty(dialog.m_soundFile));
}

}  // namespace tessel::gui
