// SPDX-License-Identifier: MIT

// The logging commands: a manual log picked in a file dialog, the automatic log switch, stop,
// and the automatic log settings. The log itself belongs to the core; the title carries its
// mark, so every command ends with the title drawn again.

#include "gui/dialogs/AutoLogSettingsDialog.h"
#include "gui/frame/MainFrame.h"
#include "gui/platform/TextCodec.h"

#include <QDate>

namespace tessel::gui {

void CMainFrame::RefreshAutoLog() {
    core_->Log().RefreshAutoLog();
    UpdateTitle();
    UpdateCommandState();
}

void CMainFrame::OnAutoLog() {
    core_->Log().ToggleAutoLog();
    UpdateTitle();
}

void CMainFrame::OnStopLog() {
    core_->Log().StopLog();
    UpdateTitle();
}

void CMainFrame::OnStartLog() {
    QString proposed = FromCorePath(core_->Log().ProposeManualLogPath());
    std::optional<std::string> path;
    // A path the core cannot name (a character code page 932 lacks) is refused and the picker
    // comes back on it, so nothing empty is stored as the log directory.
    while (!path) {
        QString chosen;
        Modal([&] { chosen = hooks_.chooseLogFile(proposed); });
        if (chosen.isEmpty()) {
            return;  // the proposal stays the log path; nothing else changes
        }
        path = ToCorePath(chosen);
        if (!path) {
            Warn(tr("「%1」は Shift-JIS で表せない文字のため使えません。")
                     .arg(FirstUnencodable(chosen)));
            proposed = chosen;
        }
    }
    if (!core_->Log().StartManualLog(*path)) {
        ShowStatus(tr("ログファイル %1 を開けません").arg(FromCorePath(*path)));
    }
    UpdateTitle();
}

void CMainFrame::OnAutoLogSettings() {
    CAutoLogSettingsDialog dialog(this);
    dialog.m_logDir = FromCorePath(core_->Log().LogDir());
    dialog.m_autoLogName = FromCorePath(core_->Log().AutoLogName());
    if (Dialog(dialog) == QDialog::Rejected) {
        return;
    }
    core_->Log().ApplyAutoLogSettings(ToCorePathOrEmpty(dialog.m_logDir),
                                      ToCorePathOrEmpty(dialog.m_autoLogName));
    UpdateTitle();
}

void CMainFrame::OnHtmlLog() {
    core_->Log().SetHtmlLog(!core_->Log().HtmlLog());
    UpdateCommandState();
}

void CMainFrame::OnSaveSessionHtml() {
    QString proposed = FromCorePath(core_->Log().LogDir()) + QStringLiteral("tsl") +
                       QDate::currentDate().toString(QStringLiteral("yyMMdd")) +
                       QStringLiteral(".html");
    std::optional<std::string> path;
    while (!path) {
        QString chosen;
        Modal([&] { chosen = hooks_.chooseHtmlFile(proposed); });
        if (chosen.isEmpty()) {
            return;
        }
        path = ToCorePath(chosen);
        if (!path) {
            Warn(tr("「%1」は Shift-JIS で表せない文字のため使えません。")
                     .arg(FirstUnencodable(chosen)));
            proposed = chosen;
        }
    }
    if (!core_->ExportSessionHtml(*path)) {
        Warn(tr("%1 に保存できませんでした。").arg(FromCorePath(*path)));
    }
}

}  // namespace tessel::gui
