// SPDX-License-Identifier: MIT

#pragma once

#include <QKeyCombination>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace tessel::gui {

// Every command of the main frame, with the numbers the window program gave them.
enum class CommandId : int {
    Connect = 32771,
    Handle = 32772,
    Join = 32773,
    Disconnect = 32774,
    AutoLog = 32776,
    StopLog = 32777,
    StartLog = 32778,
    Roll = 32781,
    Mode = 32782,
    PrivateMessage = 32783,
    UserList = 32784,
    ChannelList = 32785,
    FileReceive = 32787,
    FileSend = 32788,
    QuickRoll1d6 = 32789,  // to 32797: 1 to 9 six-sided dice
    QuickRoll9d6 = 32797,
    Fonts = 32800,
    SoundReceive = 32801,
    SoundSend = 32802,
    Colours = 32803,
    QuickRoll1d100 = 32804,
    FocusToggle = 32805,
    MemoLoad = 32806,
    MemoSave = 32807,
    QuickRoll1d4 = 32808,  // to 32813: one die of 4, 6, 8, 10, 12, 20 sides
    QuickRoll1d20 = 32813,
    CtrlShiftMacroFirst = 32814,  // Ctrl+Shift+0..9, A..Z
    CtrlShiftMacroLast = 32849,
    KeyConfig = 32850,
    ClientSettings = 32851,
    HelpContents = 32900,
    HelpKeyword = 32901,
    NotifySettings = 32902,
    AutoLogSettings = 32903,
    FunctionMacroFirst = 32904,  // F1..F12, Shift+F1..Shift+F12
    FunctionMacroLast = 32927,
    // Commands the Windows program did not have.
    SaveSessionHtml = 32940,
    HtmlLog = 32941,
    EditCopy = 57634,
    EditCut = 57635,
    EditPaste = 57637,
    EditUndo = 57643,
    AppAbout = 57664,
    AppExit = 57665,
    ViewToolBar = 59392,
    ViewStatusBar = 59393,
};

// When a command may run, from the connection flags and the log state.
enum class EnableRule {
    Always,
    Online,   // IsConnecting not 1 and IsConnected not 0
    Offline,  // IsConnecting, ConnectPending and IsConnected all 0
    Linked,   // not while IsConnecting; ConnectPending 1 or IsConnected not 0
    LogOpen,  // a log file is open
};

// What puts a check mark on a command's menu item.
enum class CheckRule {
    None,
    AutoLog,           // the automatic log is switched on
    FileReceive,       // isrecvfile is not 0
    SoundReceive,      // isrecvwave is 1
    ToolBarVisible,    // the tool bar is shown
    StatusBarVisible,  // the status bar is shown
    HtmlLog,           // an HTML log is written beside the text log
};

// The inputs of every enable and check rule at one moment.
struct CommandState {
    int isConnecting = 0;
    int connectPending = 0;
    int isConnected = 0;
    bool logging = false;
    bool autoLog = false;
    bool htmlLog = false;
    int isRecvFile = 0;
    int isRecvWave = 0;
    bool toolBarVisible = true;
    bool statusBarVisible = true;

    friend bool operator==(const CommandState&, const CommandState&) = default;
};

constexpr bool IsEnabled(EnableRule rule, const CommandState& s) {
    switch (rule) {
        case EnableRule::Online:
            return s.isConnecting != 1 && s.isConnected != 0;
        case EnableRule::Offline:
            return s.isConnecting == 0 && s.connectPending == 0 && s.isConnected == 0;
        case EnableRule::Linked:
            return s.isConnecting != 1 && (s.connectPending == 1 || s.isConnected != 0);
        case EnableRule::LogOpen:
            return s.logging;
        case EnableRule::Always:
            break;
    }
    return true;
}

constexpr std::optional<bool> IsChecked(CheckRule rule, const CommandState& s) {
    switch (rule) {
        case CheckRule::AutoLog:
            return s.autoLog;
        case CheckRule::FileReceive:
            return s.isRecvFile != 0;
        case CheckRule::SoundReceive:
            return s.isRecvWave == 1;
        case CheckRule::ToolBarVisible:
            return s.toolBarVisible;
        case CheckRule::StatusBarVisible:
            return s.statusBarVisible;
        case CheckRule::HtmlLog:
            return s.htmlLog;
        case CheckRule::None:
            break;
    }
    return std::nullopt;
}

class CMainFrame;
// What a command does: a member of the frame that takes no arguments.
using CommandHandler = void (CMainFrame::*)();

// One command: its menu caption (UTF-8, with its mnemonic and, for the edit commands, the
// key text after a tab), the status-line prompt and tool-tip, its rules, its tool bar icon and
// its handler. Commands reached only by keys have no caption. The rows themselves are in
// CommandRows.h, where the frame's handlers can be named.
struct CommandRow {
    CommandId id;
    std::string_view caption;
    std::string_view prompt;
    std::string_view tip;
    EnableRule enable = EnableRule::Always;
    CheckRule check = CheckRule::None;
    std::string_view icon = {};  // resource name under :/tessel/toolbar/
    CommandHandler handler = nullptr;
};

// The ranges of key-only commands share one rule each.
constexpr bool InRange(int id, CommandId first, CommandId last) {
    return id >= static_cast<int>(first) && id <= static_cast<int>(last);
}

constexpr bool IsQuickRoll(int id) {
    return InRange(id, CommandId::QuickRoll1d6, CommandId::QuickRoll9d6) ||
           id == static_cast<int>(CommandId::QuickRoll1d100) ||
           InRange(id, CommandId::QuickRoll1d4, CommandId::QuickRoll1d20);
}

constexpr bool IsMacroCommand(int id) {
    return InRange(id, CommandId::CtrlShiftMacroFirst, CommandId::CtrlShiftMacroLast) ||
           InRange(id, CommandId::FunctionMacroFirst, CommandId::FunctionMacroLast);
}

// The roll a quick-roll command asks for, rule 0 always.
struct QuickRoll {
    int count;
    int sides;
};

constexpr std::optional<QuickRoll> QuickRollOf(int id) {
    if (InRange(id, CommandId::QuickRoll1d6, CommandId::QuickRoll9d6)) {
        return QuickRoll{id - static_cast<int>(CommandId::QuickRoll1d6) + 1, 6};
    }
    if (id == static_cast<int>(CommandId::QuickRoll1d100)) {
        return QuickRoll{1, 100};
    }
    if (InRange(id, CommandId::QuickRoll1d4, CommandId::QuickRoll1d20)) {
        // Twice the id minus 65612 gives 4 to 14; the last die is the twenty-sided one.
        const int sides = 2 * id - 65612;
        return QuickRoll{1, sides == 14 ? 20 : sides};
    }
    return std::nullopt;
}

// One accelerator: a key with its modifiers and the command it runs.
struct Accelerator {
    QKeyCombination keys;
    int command;
};

namespace detail {

constexpr auto BuildAccelerators() {
    std::array<Accelerator, 91> table{};
    std::size_t n = 0;
    auto add = [&](Qt::KeyboardModifiers mods, Qt::Key key, int command) {
        table[n++] = Accelerator{QKeyCombination(mods, key), command};
    };
    constexpr auto id = [](CommandId c) { return static_cast<int>(c); };
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const Qt::KeyboardModifiers ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
    add(ctrl, Qt::Key_O, id(CommandId::Handle));
    add(ctrl, Qt::Key_J, id(CommandId::Join));
    add(ctrl, Qt::Key_R, id(CommandId::Roll));
    add(ctrl, Qt::Key_P, id(CommandId::PrivateMessage));
    add(ctrlAlt, Qt::Key_F, id(CommandId::FileSend));
    add(ctrlAlt, Qt::Key_S, id(CommandId::SoundSend));
    for (int i = 1; i <= 9; ++i) {
        add(ctrl, static_cast<Qt::Key>(Qt::Key_0 + i), id(CommandId::QuickRoll1d6) + i - 1);
    }
    add(ctrl, Qt::Key_0, id(CommandId::QuickRoll1d100));
    add(ctrl, Qt::Key_Tab, id(CommandId::FocusToggle));
    const Qt::Key dieKeys[] = {Qt::Key_Q, Qt::Key_W, Qt::Key_E, Qt::Key_A, Qt::Key_S, Qt::Key_D};
    for (int i = 0; i < 6; ++i) {
        add(ctrl, dieKeys[i], id(CommandId::QuickRoll1d4) + i);
    }
    for (int i = 0; i <= 9; ++i) {
        add(ctrlShift, static_cast<Qt::Key>(Qt::Key_0 + i), id(CommandId::CtrlShiftMacroFirst) + i);
    }
    for (int i = 0; i < 26; ++i) {
        add(ctrlShift, static_cast<Qt::Key>(Qt::Key_A + i),
            id(CommandId::CtrlShiftMacroFirst) + 10 + i);
    }
    for (int i = 0; i < 12; ++i) {
        add(Qt::NoModifier, static_cast<Qt::Key>(Qt::Key_F1 + i),
            id(CommandId::FunctionMacroFirst) + i);
    }
    for (int i = 0; i < 12; ++i) {
        add(Qt::ShiftModifier, static_cast<Qt::Key>(Qt::Key_F1 + i),
            id(CommandId::FunctionMacroFirst) + 12 + i);
    }
    add(ctrl, Qt::Key_C, id(CommandId::EditCopy));
    add(ctrl, Qt::Key_Insert, id(CommandId::EditCopy));
    add(ctrl, Qt::Key_X, id(CommandId::EditCut));
    add(Qt::ShiftModifier, Qt::Key_Delete, id(CommandId::EditCut));
    add(ctrl, Qt::Key_V, id(CommandId::EditPaste));
    add(Qt::ShiftModifier, Qt::Key_Insert, id(CommandId::EditPaste));
    add(ctrl, Qt::Key_Z, id(CommandId::EditUndo));
    add(Qt::AltModifier, Qt::Key_Backspace, id(CommandId::EditUndo));
    if (n != table.size()) {
        throw "the accelerator table must have exactly 91 entries";
    }
    return table;
}

}  // namespace detail

inline constexpr auto kAccelerators = detail::BuildAccelerators();

// The menu bar: seven pop-ups, items in order, 0 for a separator.
struct MenuRow {
    std::string_view caption;
    std::span<const int> items;
};

namespace detail {
constexpr int id(CommandId c) {
    return static_cast<int>(c);
}
inline constexpr int kFileMenu[] = {
    id(CommandId::StartLog), id(CommandId::AutoLog),         id(CommandId::StopLog),
    id(CommandId::HtmlLog),  id(CommandId::SaveSessionHtml), 0,
    id(CommandId::MemoLoad), id(CommandId::MemoSave),        0,
    id(CommandId::AppExit)};
inline constexpr int kEditMenu[] = {id(CommandId::EditUndo), 0, id(CommandId::EditCut),
                                    id(CommandId::EditCopy), id(CommandId::EditPaste)};
inline constexpr int kConnectMenu[] = {id(CommandId::Connect), id(CommandId::Handle),
                                       id(CommandId::Join), 0, id(CommandId::Disconnect)};
inline constexpr int kCommandMenu[] = {id(CommandId::PrivateMessage), 0, id(CommandId::Roll),
                                       id(CommandId::Mode),           0, id(CommandId::UserList),
                                       id(CommandId::ChannelList)};
inline constexpr int kOptionMenu[] = {id(CommandId::FileReceive), id(CommandId::FileSend),
                                      id(CommandId::SoundReceive), id(CommandId::SoundSend),
                                      id(CommandId::NotifySettings)};
inline constexpr int kCustomiseMenu[] = {
    id(CommandId::ViewToolBar),    id(CommandId::ViewStatusBar), id(CommandId::Fonts),
    id(CommandId::Colours),        id(CommandId::KeyConfig),     id(CommandId::ClientSettings),
    id(CommandId::AutoLogSettings)};
inline constexpr int kHelpMenu[] = {id(CommandId::HelpContents), id(CommandId::HelpKeyword), 0,
                                    id(CommandId::AppAbout)};
inline constexpr int kToolBar[] = {id(CommandId::EditCut),
                                   id(CommandId::EditCopy),
                                   id(CommandId::EditPaste),
                                   0,
                                   id(CommandId::Connect),
                                   id(CommandId::Handle),
                                   id(CommandId::Join),
                                   id(CommandId::Disconnect),
                                   0,
                                   id(CommandId::PrivateMessage),
                                   id(CommandId::Roll),
                                   id(CommandId::Mode),
                                   0,
                                   id(CommandId::AppAbout)};
}  // namespace detail

inline constexpr auto kMenuBar = std::to_array<MenuRow>({
    {QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ファイル(&F)"), detail::kFileMenu},
    {QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "編集(&E)"), detail::kEditMenu},
    {QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "接続(&C)"), detail::kConnectMenu},
    {QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "コマンド(&X)"), detail::kCommandMenu},
    {QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "オプション(&O)"), detail::kOptionMenu},
    {QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "カスタマイズ(&V)"), detail::kCustomiseMenu},
    {QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ヘルプ(&H)"), detail::kHelpMenu},
});

// Tool bar buttons left to right, 0 for a separator.
inline constexpr std::span<const int> kToolBarButtons = detail::kToolBar;

// The status bar's idle text and its four indicators.
inline constexpr std::string_view kIdleMessage =
    QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ﾚﾃﾞｨ");
inline constexpr std::array<std::string_view, 4> kIndicators = {
    QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ｶﾅ"), "CAP", "NUM", "SCRL"};

}  // namespace tessel::gui
