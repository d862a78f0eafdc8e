#pragma once

#include <array>

#include "gui/frame/CommandTable.h"
#include "gui/frame/MainFrame.h"

namespace tessel::gui {

// The rows of every command with a menu item or tool bar button, or a key of its own (quick
// rolls and macros come in ranges and have none). A friend of the frame, so that the rows can
// name its handlers.
struct CommandRows {
    static constexpr auto kTable = std::to_array<CommandRow>({
        {CommandId::Connect, "ホストへ接続(&C)", "ホストに接続", "ホストに接続",
         EnableRule::Offline, CheckRule::None, "connect", &CMainFrame::OnConnect},
        {CommandId::Handle, "名前の登録(&O)", "名前の登録", "名前の登録", EnableRule::Online,
         CheckRule::None, "handle", &CMainFrame::OnHandle},
        {CommandId::Join, "チャネルに入る(&J)", "チャネルに入る", "チャネルに入る",
         EnableRule::Online, CheckRule::None, "join", &CMainFrame::OnJoin},
        {CommandId::Disconnect, "切断(&X)", "切断", "切断", EnableRule::Linked, CheckRule::None,
         "disconnect", &CMainFrame::OnDisconnect},
        {CommandId::AutoLog, "自動ログ(&A)", "", "", EnableRule::Always, CheckRule::AutoLog, "",
         &CMainFrame::OnAutoLog},
        {CommandId::StopLog, "ログの停止(&S)", "", "", EnableRule::LogOpen, CheckRule::None, "",
         &CMainFrame::OnStopLog},
        {CommandId::StartLog, "ログを取る...(&L)", "", "", EnableRule::Always, CheckRule::None, "",
         &CMainFrame::OnStartLog},
        {CommandId::Roll, "ロール(&R)", "ダイスロール", "ダイスを振る", EnableRule::Online,
         CheckRule::None, "roll", &CMainFrame::OnRoll},
        {CommandId::Mode, "モード変更(&M)", "モード変更", "モードの変更", EnableRule::Online,
         CheckRule::None, "mode", &CMainFrame::OnMode},
        {CommandId::PrivateMessage, "プライベートメッセージ(&P)", "プライベートメッセージ",
         "メッセージを送る", EnableRule::Online, CheckRule::None, "message",
         &CMainFrame::OnPrivateMessage},
        {CommandId::UserList, "ユーザー一覧(&U)", "", "", EnableRule::Online, CheckRule::None, "",
         &CMainFrame::OnUserList},
        {CommandId::ChannelList, "チャネル一覧(&C)", "", "", EnableRule::Online, CheckRule::None,
         "", &CMainFrame::OnChannelList},
        {CommandId::FileReceive, "ファイル受信指定...(&R)", "", "", EnableRule::Always,
         CheckRule::FileReceive, "", &CMainFrame::OnFileReceive},
        {CommandId::FileSend, "ファイル送信...(&S)", "", "", EnableRule::Online, CheckRule::None,
         "", &CMainFrame::OnFileSend},
        {CommandId::Fonts, "フォント...(&F)", "", "", EnableRule::Always, CheckRule::None, "",
         &CMainFrame::OnFonts},
        {CommandId::SoundReceive, "サウンド再生指定(&X)", "", "", EnableRule::Always,
         CheckRule::SoundReceive, "", &CMainFrame::OnSoundReceive},
        {CommandId::SoundSend, "サウンド再生...(&W)", "", "", EnableRule::Online, CheckRule::None,
         "", &CMainFrame::OnSoundSend},
        {CommandId::Colours, "色の設定...(&C)", "", "", EnableRule::Always, CheckRule::None, "",
         &CMainFrame::OnColours},
        {CommandId::FocusToggle, "", "", "", EnableRule::Always, CheckRule::None, "",
         &CMainFrame::OnFocusToggle},
        {CommandId::MemoLoad, "メモの読み込み(&O)", "", "", EnableRule::Always, CheckRule::None, "",
         &CMainFrame::OnMemoLoad},
        {CommandId::MemoSave, "メモの保存(&R)", "", "", EnableRule::Always, CheckRule::None, "",
         &CMainFrame::OnMemoSave},
        {CommandId::KeyConfig, "キーコンフィグ(&K)", "", "", EnableRule::Always, CheckRule::None,
         "", &CMainFrame::OnKeyConfig},
        {CommandId::ClientSettings, "クライアント設定(&O)", "", "", EnableRule::Always,
         CheckRule::None, "", &CMainFrame::OnClientSettings},
        {CommandId::HelpContents, "目次(&C)", "", "", EnableRule::Always, CheckRule::None, "",
         &CMainFrame::OnHelpContents},
        {CommandId::HelpKeyword, "キーワード(&I)...", "", "", EnableRule::Always, CheckRule::None,
         "", &CMainFrame::OnHelpKeyword},
        {CommandId::NotifySettings, "通知設定...(&N)", "", "", EnableRule::Always, CheckRule::None,
         "", &CMainFrame::OnNotifySettings},
        {CommandId::AutoLogSettings, "自動ログ設定(&L)", "", "", EnableRule::Always,
         CheckRule::None, "", &CMainFrame::OnAutoLogSettings},
        // The framework's own commands, with its standard prompts.
        {CommandId::EditCopy, "ｺﾋﾟｰ(&C)\tCtrl+C", "選択範囲をコピーしてクリップボードに保存します",
         "コピー", EnableRule::Always, CheckRule::None, "copy", &CMainFrame::OnEditCopy},
        {CommandId::EditCut, "切り取り(&T)\tCtrl+X",
         "選択範囲を切り取ってクリップボードに移動します", "切り取り", EnableRule::Always,
         CheckRule::None, "cut", &CMainFrame::OnEditCut},
        {CommandId::EditPaste, "貼り付け(&P)\tCtrl+V", "クリップボードの内容を挿入します",
         "貼り付け", EnableRule::Always, CheckRule::None, "paste", &CMainFrame::OnEditPaste},
        {CommandId::EditUndo, "元に戻す(&U)\tCtrl+Z", "直前に行った動作を元に戻します", "元に戻す",
         EnableRule::Always, CheckRule::None, "", &CMainFrame::OnEditUndo},
        {CommandId::AppAbout, "ﾊﾞｰｼﾞｮﾝ情報(tessel) (&A)...",
         "プログラム情報、バージョン、著作権を表示します", "バージョン情報", EnableRule::Always,
         CheckRule::None, "about", &CMainFrame::OnAbout},
        {CommandId::AppExit, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", "アプリケーションを終了します", "終了",
         EnableRule::Always, CheckRule::None, "", &CMainFrame::OnExit},
        {CommandId::ViewToolBar, "ﾂｰﾙ ﾊﾞｰ(&T)", "ツール バーの表示/非表示",
         "ツール バーの表示切り替え", EnableRule::Always, CheckRule::ToolBarVisible, "",
         &CMainFrame::OnViewToolBar},
        {CommandId::ViewStatusBar, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)", "ステータス バーの表示/非表示",
         "ステータス バーの表示切り替え", EnableRule::Always, CheckRule::StatusBarVisible, "",
         &CMainFrame::OnViewStatusBar},
    });
};

inline constexpr const auto& kCommandTable = CommandRows::kTable;

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

// Every row runs something.
static_assert([] {
    for (const CommandRow& row : kCommandTable) {
        if (row.handler == nullptr) {
            return false;
        }
    }
    return true;
}());

}  // namespace tessel::gui
