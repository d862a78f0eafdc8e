// SPDX-License-Identifier: MIT

// The session commands: connect, handle, channel, disconnect, private message, rolls, mode,
// the user and channel lists, the quick rolls and key macros, and what the frame does when
// the connection comes up.
#include <QDialog>
#include <QStringList>

#include <string>

#include "gui/dialogs/ChannelDialog.h"
#include "gui/dialogs/ConnectDialog.h"
#include "gui/dialogs/ModeDialog.h"
#include "gui/dialogs/NameDialog.h"
#include "gui/dialogs/PrivateMessageDialog.h"
#include "gui/dialogs/RollDialog.h"
#include "gui/frame/MainFrame.h"
#include "gui/panes/TesselInputView.h"
#include "gui/platform/TextCodec.h"

namespace tessel::gui {

std::optional<std::string> CMainFrame::DialogText(const QString& text) {
    std::optional<std::string> bytes = ToShiftJis(text);
    if (!bytes) {
        Warn(tr("「%1」は Shift-JIS で表せない文字のため送信できません。")
                 .arg(FirstUnencodable(text)));
    }
    return bytes;
}

QStringList CMainFrame::KnownHandles() const {
    QStringList handles;
    for (const UserEntry& row : core_->Users()) {
        if (row.handle.view().empty()) {
            break;
        }
        handles.append(FromShiftJis(row.handle.view()));
    }
    return handles;
}

void CMainFrame::OnConnect() {
    CConnectDialog dialog(this);
    dialog.m_host = FromShiftJis(settings_.GetString(SettingKey::ipaddr));
    dialog.m_port = settings_.GetInt(SettingKey::port);
    dialog.m_handle = FromShiftJis(settings_.GetString(SettingKey::name));
    dialog.m_channel = FromShiftJis(settings_.GetString(SettingKey::channel));
    dialog.m_reconnect = settings_.GetInt(SettingKey::autoreconnect) == 1;
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    // Stored only when changed, so a tessel.ini that never had the key does not gain it.
    if (dialog.m_reconnect != (settings_.GetInt(SettingKey::autoreconnect) == 1)) {
        settings_.SetInt(SettingKey::autoreconnect, dialog.m_reconnect ? 1 : 0);
    }
    const std::optional<std::string> host = DialogText(dialog.m_host);
    const std::optional<std::string> handle = DialogText(dialog.m_handle);
    const std::optional<std::string> channel = DialogText(dialog.m_channel);
    if (!host || !handle || !channel) {
        return;
    }
    core_->Connect(*host, dialog.m_port, *handle, *channel);
}

void CMainFrame::ConnectAsStored() {
    // Without a server or a handle there is nothing to connect to: ask, as a first start does.
    if (settings_.GetString(SettingKey::ipaddr).empty() ||
        settings_.GetString(SettingKey::name).empty()) {
        OnConnect();
        return;
    }
    core_->Connect(settings_.GetString(SettingKey::ipaddr), settings_.GetInt(SettingKey::port),
                   settings_.GetString(SettingKey::name), settings_.GetString(SettingKey::channel));
}

void CMainFrame::OnHandle() {
    CNameDialog dialog(this);
    dialog.m_handle = FromShiftJis(settings_.GetString(SettingKey::name));
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    if (const std::optional<std::string> handle = DialogText(dialog.m_handle)) {
        core_->RegisterHandle(*handle);
    }
}

void CMainFrame::OnJoin() {
    CChannelDialog dialog(this);
    dialog.m_channel = FromShiftJis(settings_.GetString(SettingKey::channel));
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    if (const std::optional<std::string> channel = DialogText(dialog.m_channel)) {
        core_->JoinChannel(*channel);
    }
}

void CMainFrame::OnDisconnect() {
    core_->Disconnect();
}

void CMainFrame::OnPrivateMessage() {
    CPrivateMessageDialog dialog(this);
    dialog.m_handles = KnownHandles();
    dialog.m_destination = lastTarget_;
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    lastTarget_ = dialog.m_destination;
    const std::optional<std::string> destination = DialogText(dialog.m_destination);
    const std::optional<std::string> message = DialogText(dialog.m_message);
    if (destination && message) {
        PostCommandText("m " + *destination + " " + *message);
    }
}

void CMainFrame::OnRoll() {
    CRollDialog dialog(this);
    dialog.m_count = rollCount_;
    dialog.m_sides = rollSides_;
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    rollCount_ = dialog.m_count;
    rollSides_ = dialog.m_sides;
    core_->Roll(dialog.m_count, dialog.m_sides, dialog.m_rule);
}

void CMainFrame::OnMode() {
    CModeDialog dialog(this);
    dialog.m_mode = ClientCore::OpenDiceOn() ? 0 : 1;
    if (Dialog(dialog) != QDialog::Accepted) {
        return;
    }
    if (dialog.m_mode == 0) {
        PostCommandText("MODE +o");
    } else if (dialog.m_mode == 1) {
        PostCommandText("MODE -o");
    }
}

void CMainFrame::OnUserList() {
    PostCommandText("GETUSER");
}

void CMainFrame::OnChannelList() {
    PostCommandText("LIST");
}

void CMainFrame::OnQuickRoll(int id) {
    if (const std::optional<QuickRoll> roll = QuickRollOf(id)) {
        core_->Roll(roll->count, roll->sides, 0);
    }
}

void CMainFrame::OnMacro(int id) {
    bool finishLine = false;
    switch (core_->RunMacro(id, input_->CaretLineText(), finishLine)) {
        case MacroRun::TooLong:
            ShowStatus(tr("マクロを展開した文が長すぎるため送信しません"));
            break;
        case MacroRun::Unusable:
            ShowStatus(CTesselInputView::NotShiftJisMessage(input_->CaretLineString()));
            break;
        case MacroRun::Sent:
            if (finishLine) {
                input_->FinishLineWithoutSending();
            }
            break;
        case MacroRun::Nothing:
            break;
    }
}

}  // namespace tessel::gui
