// The options menu: receive directory, file send, the sound switch, sound send and the
// notification settings.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>

#include <atomic>
#include <thread>

#include "connection/ConnectionState.h"
#include "gui/dialogs/FileReceiveDialog.h"
#include "gui/dialogs/FileSendDialog.h"
#include "gui/dialogs/NotifySettingsDialog.h"
#include "gui/dialogs/SoundSendDialog.h"
#include "gui/frame/MainFrame.h"
#include "gui/platform/TextCodec.h"
#include "session/FileExchange.h"

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
    if (fileSendBusy_) {
        ShowStatus(QString::fromUtf8("ファイルを送信中です"));
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
    const QFileInfo info(dialog.m_path);
    if (!info.isFile() || !info.isReadable()) {
        ShowStatus(QString::fromUtf8("ファイル %1 を読めません").arg(dialog.m_path));
        return;
    }
    if (info.size() > static_cast<qint64>(kMaxSendFileSize)) {
        ShowStatus(QString::fromUtf8("ファイル %1 は %2 バイトを超えるため送信しません")
                       .arg(dialog.m_path)
                       .arg(kMaxSendFileSize));
        return;
    }
    const std::string path = ToCorePathOrEmpty(dialog.m_path);
    settings_.SetString(SettingKey::prevsendfile, path);

    // The pieces go out 100 ms apart; a worker paces them so the window stays live. The name
    // travels in code page 932 like every other text.
    const std::optional<std::string> name = ToShiftJis(info.fileName());
    if (!name) {
        ShowStatus(QString::fromUtf8("ファイル名に Shift-JIS で表せない文字があります"));
        return;
    }
    fileSendBusy_ = true;
    const int pieces = static_cast<int>(info.size() / kFilePieceSize) + 1;
    ShowStatus(QString::fromUtf8("ファイル %1 を送信中 (0/%2)").arg(info.fileName()).arg(pieces));
    QPointer<CMainFrame> self(this);
    CConnectOnThread* connection = &Connection();
    const QString shownName = info.fileName();
    fileSender_ = std::jthread([self, connection, destination = *destination, name = *name, path,
                                pieces, shownName](std::stop_token stop) {
        std::string data;
        if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
            char buffer[4096];
            std::size_t n = 0;
            while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0 &&
                   data.size() <= kMaxSendFileSize) {
                data.append(buffer, n);
            }
            std::fclose(file);
        }
        const std::vector<std::string> blocks = FileSendBlocks(destination, name, data);
        int sent = 0;
        for (const std::string& block : blocks) {
            if (stop.stop_requested() || IsConnected() == 0) {
                break;
            }
            connection->PostData(ThreadMessage::SendData, block);
            ++sent;
            QMetaObject::invokeMethod(
                self,
                [self, sent, pieces, shownName] {
                    if (self) {
                        self->ShowStatus(QString::fromUtf8("ファイル %1 を送信中 (%2/%3)")
                                             .arg(shownName)
                                             .arg(sent)
                                             .arg(pieces));
                    }
                },
                Qt::QueuedConnection);
            std::this_thread::sleep_for(kPiecePause);
        }
        const bool complete = sent == static_cast<int>(blocks.size());
        QMetaObject::invokeMethod(
            self,
            [self, complete, shownName] {
                if (self) {
                    self->fileSendBusy_ = false;
                    self->ShowStatus(
                        complete
                            ? QString::fromUtf8("ファイル %1 を送信しました").arg(shownName)
                            : QString::fromUtf8("ファイル %1 の送信を中断しました").arg(shownName));
                }
            },
            Qt::QueuedConnection);
    });
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
        Connection().PostData(ThreadMessage::SendSound, SoundRequestBlock(*destination, *name));
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
