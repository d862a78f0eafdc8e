// The logging commands: a manual log picked in a file dialog, the automatic log switch, stop,
// and the automatic log settings. The log itself belongs to the core; the title carries its
// mark, so every command ends with the title drawn again.
#include <QFile>

#include "gui/dialogs/AutoLogSettingsDialog.h"
#include "gui/frame/MainFrame.h"
#include "gui/platform/TextCodec.h"

namespace tessel::gui {

namespace {

QString PathFromCore(const std::string& path) {
    return FromCorePath(path);
}

// A path code page 932 cannot hold becomes empty, which every command that opens it refuses
// with its own failure line.
std::string PathToCore(const QString& path) {
    return ToCorePath(path).value_or(std::string());
}

}  // namespace

void CMainFrame::RefreshAutoLog() {
    log_->RefreshAutoLog();
    UpdateTitle();
    UpdateCommandState();
}

void CMainFrame::OnAutoLog() {
    log_->ToggleAutoLog();
    UpdateTitle();
}

void CMainFrame::OnStopLog() {
    log_->StopLog();
    UpdateTitle();
}

void CMainFrame::OnStartLog() {
    const QString proposed = PathFromCore(log_->ProposeManualLogPath());
    const QString chosen = hooks_.chooseLogFile(proposed);
    if (chosen.isEmpty()) {
        return;  // the proposal stays the log path; nothing else changes
    }
    if (!log_->StartManualLog(PathToCore(chosen))) {
        ShowStatus(QString::fromUtf8("ログファイル %1 を開けません").arg(chosen));
    }
    UpdateTitle();
}

void CMainFrame::OnAutoLogSettings() {
    CAutoLogSettingsDialog dialog(this);
    dialog.m_logDir = PathFromCore(log_->LogDir());
    dialog.m_autoLogName = PathFromCore(log_->AutoLogName());
    if (Dialog(dialog) == QDialog::Rejected) {
        return;
    }
    log_->ApplyAutoLogSettings(PathToCore(dialog.m_logDir), PathToCore(dialog.m_autoLogName));
    UpdateTitle();
}

}  // namespace tessel::gui
