#pragma once

#include <QKeyCombination>

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
};

// The inputs of every enable and check rule at one moment.
struct CommandState {
    int isConnecting = 0;
    int connectPending = 0;
    int isConnected = 0;
    bool logging = false;
    bool autoLog = false;
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
        case CheckRule::None:
            break;
    }
    return std::nullopt;
}

// One command: its menu caption (UTF-8, with its mnemonic and, for the edit commands, the
// key text after a tab), the status-line prompt and tool-tip, its rules and its tool bar
// icon. Commands reached only by keys have no caption.
struct CommandRow {
    CommandId id;
    std::string_view caption;
    std::string_view prompt;
    std::string_view tip;
    EnableRule enable = EnableRule::Always;
    CheckRule check = CheckRule::None;
    std::string_view icon = {};  // resource name under :/tessel/toolbar/
};

inline constexpr auto kCommandTable = std::to_array<CommandRow>({
    {CommandId::Connect, "ホストへ接続(&C)", "ホストに接続", "ホストに接続", EnableRule::Offline,
     CheckRule::None, "connect"},
    {CommandId::Handle, "名前の登録(&O)", "名前の登録", "名前の登録", EnableRule::Online,
     CheckRule::None, "handle"},
    {CommandId::Join, "チャネルに入る(&J)", "チャネルに入る", "チャネルに入る", EnableRule::Online,
     CheckRule::None, "join"},
    {CommandId::Disconnect, "切断(&X)", "切断", "切断", EnableRule::Linked, CheckRule::None,
     "disconnect"},
    {CommandId::AutoLog, "自動ログ(&A)", "", "", EnableRule::Always, CheckRule::AutoLog},
    {CommandId::StopLog, "ログの停止(&S)", "", "", EnableRule::LogOpen},
    {CommandId::StartLog, "ログを取る...(&L)", "", ""},
    {CommandId::Roll, "ロール(&R)", "ダイスロール", "ダイスを振る", EnableRule::Online,
     CheckRule::None, "roll"},
    {CommandId::Mode, "モード変更(&M)", "モード変更", "モードの変更", EnableRule::Online,
     CheckRule::None, "mode"},
    {CommandId::PrivateMessage, "プライベートメッセージ(&P)", "プライベートメッセージ",
     "メッセージを送る", EnableRule::Online, CheckRule::None, "message"},
    {CommandId::UserList, "ユーザー一覧(&U)", "", "", EnableRule::Online},
    {CommandId::ChannelList, "チャネル一覧(&C)", "", "", EnableRule::Online},
    {CommandId::FileReceive, "ファイル受信指定...(&R)", "", "", EnableRule::Always,
     CheckRule::FileReceive},
    {CommandId::FileSend, "ファイル送信...(&S)", "", "", EnableRule::Online},
    {CommandId::Fonts, "フォント...(&F)", "", ""},
    {CommandId::SoundReceive, "サウンド再生指定(&X)", "", "", EnableRule::Always,
     CheckRule::SoundReceive},
    {CommandId::SoundSend, "サウンド再生...(&W)", "", "", EnableRule::Online},
    {CommandId::Colours, "色の設定...(&C)", "", ""},
    {CommandId::FocusToggle, "", "", ""},
    {CommandId::MemoLoad, "メモの読み込み(&O)", "", ""},
    {CommandId::MemoSave, "メモの保存(&R)", "", ""},
    {CommandId::KeyConfig, "キーコンフィグ(&K)", "", ""},
    {CommandId::ClientSettings, "クライアント設定(&O)", "", ""},
    {CommandId::HelpContents, "目次(&C)", "", ""},
    {CommandId::HelpKeyword, "キーワード(&I)...", "", ""},
    {CommandId::NotifySettings, "通知設定...(&N)", "", ""},
    {CommandId::AutoLogSettings, "自動ログ設定(&L)", "", ""},
    // The framework's own commands, with its standard prompts.
    {CommandId::EditCopy, "ｺﾋﾟｰ(&C)\tCtrl+C", "選択範囲をコピーしてクリップボードに保存します",
     "コピー", EnableRule::Always, CheckRule::None, "copy"},
    {CommandId::EditCut, "切り取り(&T)\tCtrl+X", "選択範囲を切り取ってクリップボードに移動します",
     "切り取り", EnableRule::Always, CheckRule::None, "cut"},
    {CommandId::EditPaste, "貼り付け(&P)\tCtrl+V", "クリップボードの内容を挿入します", "貼り付け",
     EnableRule::Always, CheckRule::None, "paste"},
    {CommandId::EditUndo, "元に戻す(&U)\tCtrl+Z", "直前に行った動作を元に戻します", "元に戻す"},
    {CommandId::AppAbout, "ﾊﾞｰｼﾞｮﾝ情報(tessel) (&A)...",
     "プログラム情報、バージョン、著作権を表示します", "バージョン情報", EnableRule::Always,
     CheckRule::None, "about"},
    {CommandId::AppExit, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", "アプリケーションを終了します", "終了"},
    {CommandId::ViewToolBar, "ﾂｰﾙ ﾊﾞｰ(&T)", "ツール バーの表示/非表示", "ツール バーの表示切り替え",
     EnableRule::Always, CheckRule::ToolBarVisible},
    {CommandId::ViewStatusBar, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)", "ステータス バーの表示/非表示",
     "ステータス バーの表示切り替え", EnableRule::Always, CheckRule::StatusBarVisible},
});

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

// The table row of a command that has one; quick rolls and macros have none.
constexpr const CommandRow* FindCommand(int id) {
    for (const CommandRow& row : kCommandTable) {
        if (static_cast<int>(row.id) == id) {
            return &row;
        }
    }
    return nullptr;
}

constexpr EnableRule EnableRuleOf(int id) {
    if (IsQuickRoll(id) || IsMacroCommand(id)) {
        return EnableRule::Online;
    }
    const CommandRow* row = FindCommand(id);
    return row ? row->enable : EnableRule::Always;
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
inline constexpr int kFileMenu[] = {id(CommandId::StartLog),
                                    id(CommandId::AutoLog),
                                    id(CommandId::StopLog),
                                    0,
                                    id(CommandId::MemoLoad),
                                    id(CommandId::MemoSave),
                                    0,
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
    {"ファイル(&F)", detail::kFileMenu},
    {"編集(&E)", detail::kEditMenu},
    {"接続(&C)", detail::kConnectMenu},
    {"コマンド(&X)", detail::kCommandMenu},
    {"オプション(&O)", detail::kOptionMenu},
    {"カスタマイズ(&V)", detail::kCustomiseMenu},
    {"ヘルプ(&H)", detail::kHelpMenu},
});

// Tool bar buttons left to right, 0 for a separator.
inline constexpr std::span<const int> kToolBarButtons = detail::kToolBar;

// The status bar's idle text and its four indicators.
inline constexpr std::string_view kIdleMessage = "ﾚﾃﾞｨ";
inline constexpr std::array<std::string_view, 4> kIndicators = {"ｶﾅ", "CAP", "NUM", "SCRL"};

}  // namespace tessel::gui
