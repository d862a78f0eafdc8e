// SPDX-License-Identifier: MIT

// The customise and help menus: fonts, colours, key definitions, client settings, the focus
// toggle between input and memo, the help window, the version box and the edit commands.
#include <QApplication>
#include <QWidget>

#include "gui/dialogs/AboutDialog.h"
#include "gui/dialogs/ClientSettingsDialog.h"
#include "gui/dialogs/ColorSettingsDialog.h"
#include "gui/dialogs/FontSettingsDialog.h"
#include "gui/dialogs/KeyConfigDialog.h"
#include "gui/frame/MainFrame.h"
#include "gui/panes/MemoView.h"
#include "gui/panes/TesselDispView.h"
#include "gui/panes/TesselInputView.h"
#include "gui/panes/TesselUserView.h"
#include "gui/platform/EditorLaunch.h"
#include "gui/platform/TextCodec.h"

namespace tessel::gui {

void CMainFrame::OnColours() {
    CColorSettingsDialog dialog(this);
    struct Row {
        SettingKey key;
        Colorref CColorSettingsDialog::*member;
    };
    // The order the keys are written in.
    const Row rows[] = {
        {SettingKey::dispcolor, &CColorSettingsDialog::m_dispColor},
        {SettingKey::dispnamecolor, &CColorSettingsDialog::m_dispNameColor},
        {SettingKey::dispsyscolor, &CColorSettingsDialog::m_dispSysColor},
        {SettingKey::dispdicecolor, &CColorSettingsDialog::m_dispDiceColor},
        {SettingKey::dispbkcolor, &CColorSettingsDialog::m_dispBkColor},
        {SettingKey::inputcolor, &CColorSettingsDialog::m_inputColor},
        {SettingKey::inputbkcolor, &CColorSettingsDialog::m_inputBkColor},
        {SettingKey::usercolor, &CColorSettingsDialog::m_userColor},
        {SettingKey::userbkcolor, &CColorSettingsDialog::m_userBkColor},
        {SettingKey::memocolor, &CColorSettingsDialog::m_memoColor},
        {SettingKey::memobkcolor, &CColorSettingsDialog::m_memoBkColor},
    };
    for (const Row& row : rows) {
        dialog.*row.member = static_cast<Colorref>(settings_.GetInt(row.key));
    }
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    for (const Row& row : rows) {
        settings_.SetInt(row.key, static_cast<std::int32_t>(dialog.*row.member));
    }
    display_->ApplySettings();
    input_->ApplySettings();
    userList_->ApplySettings();
    memo_->ApplySettings();
}

void CMainFrame::OnFonts() {
    CFontSettingsDialog dialog(this);
    dialog.m_dispFont = display_->DisplayFont();
    dialog.m_inputFont = input_->InputFont();
    dialog.m_memoFont = memo_->MemoFont();
    dialog.m_dispFontSize = settings_.GetInt(SettingKey::fontsize);
    dialog.m_inputFontSize = settings_.GetInt(SettingKey::inputfontsize);
    dialog.m_memoFontSize = settings_.GetInt(SettingKey::memofontsize);
    dialog.m_dispFontName = FromShiftJis(settings_.GetString(SettingKey::fontname));
    dialog.m_inputFontName = FromShiftJis(settings_.GetString(SettingKey::inputfontname));
    dialog.m_memoFontName = FromShiftJis(settings_.GetString(SettingKey::memofontname));
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    const std::optional<std::string> names[] = {DialogText(dialog.m_dispFontName),
                                                DialogText(dialog.m_inputFontName),
                                                DialogText(dialog.m_memoFontName)};
    if (!names[0] || !names[1] || !names[2]) {
        return;
    }
    settings_.SetInt(SettingKey::fontsize, dialog.m_dispFontSize);
    settings_.SetString(SettingKey::fontname, *names[0]);
    settings_.SetInt(SettingKey::inputfontsize, dialog.m_inputFontSize);
    settings_.SetString(SettingKey::inputfontname, *names[1]);
    settings_.SetInt(SettingKey::memofontsize, dialog.m_memoFontSize);
    settings_.SetString(SettingKey::memofontname, *names[2]);
    display_->ApplySettings();
    input_->ApplySettings();
    memo_->ApplySettings();
}

void CMainFrame::OnKeyConfig() {
    CKeyConfigDialog dialog(
        [this](const QString& path) {
            QString error;
            const QString editor = FromShiftJis(settings_.GetString(SettingKey::editor)).trimmed();
            if (!LaunchEditor(editor, path, &error)) {
                ShowStatus(tr("エディタを起動できません: %1").arg(error));
            }
        },
        this);
    dialog.m_path = FromCorePath(core_->Macros().KeyConfigPath());
    if (Dialog(dialog) == QDialog::Rejected) {
        return;
    }
    if (!core_->LoadKeyFile(ToCorePathOrEmpty(dialog.m_path))) {
        ShowStatus(tr("キー定義ファイル %1 を読めません").arg(dialog.m_path));
    }
}

void CMainFrame::OnClientSettings() {
    CClientSettingsDialog dialog(this);
    dialog.m_scope = settings_.GetInt(SettingKey::userview);
    dialog.m_lines = display_->KeptLines();
    if (Dialog(dialog) == QDialog::Rejected) {
        return;
    }
    // No button checked stores -1, which the list shows as its own channel only; the list
    // takes the new scope at its next update.
    settings_.SetInt(SettingKey::userview, dialog.m_scope);
    // An unchanged count is not written, so a file without the key keeps it absent.
    if (dialog.m_lines != display_->KeptLines()) {
        settings_.SetInt(SettingKey::displaylines, dialog.m_lines);
        display_->SetKeptLines(dialog.m_lines);
    }
}

void CMainFrame::OnFocusToggle() {
    if (!inputFocusLost_) {
        memo_->setFocus(Qt::ShortcutFocusReason);
    } else {
        input_->setFocus(Qt::ShortcutFocusReason);
    }
}

void CMainFrame::OnAbout() {
    CAboutDialog dialog(this);
    Dialog(dialog);
}

void CMainFrame::OnEdit(const char* slot) {
    // The edit commands act on whichever pane has the focus, through its own slots.
    if (QWidget* focus = QApplication::focusWidget()) {
        QMetaObject::invokeMethod(focus, slot);
    }
}

}  // namespace tessel::gui

#if TESSEL_HAVE_HELP
#include "gui/help/HelpWindow.h"
#endif

namespace tessel::gui {

void CMainFrame::OnHelp(bool keyword) {
#if TESSEL_HAVE_HELP
    auto* help = qobject_cast<CHelpWindow*>(help_.data());
    if (!help) {
        help = new CHelpWindow(this);
        help->setWindowFlag(Qt::Window);
        help_ = help;
    }
    if (keyword) {
        help->ShowKeyword(QString());
    } else {
        help->ShowContents();
    }
#else
    (void)keyword;
    ShowStatus(tr("ヘルプはこのビルドに含まれていません"));
#endif
}

}  // namespace tessel::gui
