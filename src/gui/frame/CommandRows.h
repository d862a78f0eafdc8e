// SPDX-License-Identifier: MIT

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
        {CommandId::Connect, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ホストへ接続(&C)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ホストに接続"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ホストに接続"), EnableRule::Offline,
         CheckRule::None, "connect", &CMainFrame::OnConnect},
        {CommandId::Handle, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "名前の登録(&O)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "名前の登録"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "名前の登録"), EnableRule::Online,
         CheckRule::None, "handle", &CMainFrame::OnHandle},
        {CommandId::Join, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "チャネルに入る(&J)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "チャネルに入る"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "チャネルに入る"), EnableRule::Online,
         CheckRule::None, "join", &CMainFrame::OnJoin},
        {CommandId::Disconnect, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "切断(&X)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "切断"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "切断"), EnableRule::Linked, CheckRule::None,
         "disconnect", &CMainFrame::OnDisconnect},
        {CommandId::AutoLog, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "自動ログ(&A)"), "", "",
         EnableRule::Always, CheckRule::AutoLog, "", &CMainFrame::OnAutoLog},
        {CommandId::StopLog, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ログの停止(&S)"), "", "",
         EnableRule::LogOpen, CheckRule::None, "", &CMainFrame::OnStopLog},
        {CommandId::StartLog, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ログを取る...(&L)"), "",
         "", EnableRule::Always, CheckRule::None, "", &CMainFrame::OnStartLog},
        {CommandId::HtmlLog, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "HTMLログも取る(&M)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ログの横に同じ内容のHTMLファイルも書きます"),
         "", EnableRule::Always, CheckRule::HtmlLog, "", &CMainFrame::OnHtmlLog},
        {CommandId::SaveSessionHtml,
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "セッションをHTMLで保存...(&H)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame",
                           "このセッションの表示をブラウザで開けるHTMLファイルに保存します"),
         "", EnableRule::Always, CheckRule::None, "", &CMainFrame::OnSaveSessionHtml},
        {CommandId::Roll, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ロール(&R)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ダイスロール"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ダイスを振る"), EnableRule::Online,
         CheckRule::None, "roll", &CMainFrame::OnRoll},
        {CommandId::Mode, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "モード変更(&M)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "モード変更"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "モードの変更"), EnableRule::Online,
         CheckRule::None, "mode", &CMainFrame::OnMode},
        {CommandId::PrivateMessage,
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "プライベートメッセージ(&P)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "プライベートメッセージ"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "メッセージを送る"), EnableRule::Online,
         CheckRule::None, "message", &CMainFrame::OnPrivateMessage},
        {CommandId::UserList, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ユーザー一覧(&U)"), "",
         "", EnableRule::Online, CheckRule::None, "", &CMainFrame::OnUserList},
        {CommandId::ChannelList, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "チャネル一覧(&C)"),
         "", "", EnableRule::Online, CheckRule::None, "", &CMainFrame::OnChannelList},
        {CommandId::FileReceive,
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ファイル受信指定...(&R)"), "", "",
         EnableRule::Always, CheckRule::FileReceive, "", &CMainFrame::OnFileReceive},
        {CommandId::FileSend, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ファイル送信...(&S)"),
         "", "", EnableRule::Online, CheckRule::None, "", &CMainFrame::OnFileSend},
        {CommandId::Fonts, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "フォント...(&F)"), "", "",
         EnableRule::Always, CheckRule::None, "", &CMainFrame::OnFonts},
        {CommandId::SoundReceive,
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "サウンド再生指定(&X)"), "", "",
         EnableRule::Always, CheckRule::SoundReceive, "", &CMainFrame::OnSoundReceive},
        {CommandId::SoundSend, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "サウンド再生...(&W)"),
         "", "", EnableRule::Online, CheckRule::None, "", &CMainFrame::OnSoundSend},
        {CommandId::Colours, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "色の設定...(&C)"), "",
         "", EnableRule::Always, CheckRule::None, "", &CMainFrame::OnColours},
        {CommandId::FocusToggle, "", "", "", EnableRule::Always, CheckRule::None, "",
         &CMainFrame::OnFocusToggle},
        {CommandId::MemoLoad, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "メモの読み込み(&O)"),
         "", "", EnableRule::Always, CheckRule::None, "", &CMainFrame::OnMemoLoad},
        {CommandId::MemoSave, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "メモの保存(&R)"), "",
         "", EnableRule::Always, CheckRule::None, "", &CMainFrame::OnMemoSave},
        {CommandId::KeyConfig, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "キーコンフィグ(&K)"),
         "", "", EnableRule::Always, CheckRule::None, "", &CMainFrame::OnKeyConfig},
        {CommandId::ClientSettings,
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "クライアント設定(&O)"), "", "",
         EnableRule::Always, CheckRule::None, "", &CMainFrame::OnClientSettings},
        {CommandId::HelpContents, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "目次(&C)"), "", "",
         EnableRule::Always, CheckRule::None, "", &CMainFrame::OnHelpContents},
        {CommandId::HelpKeyword, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "キーワード(&I)..."),
         "", "", EnableRule::Always, CheckRule::None, "", &CMainFrame::OnHelpKeyword},
        {CommandId::NotifySettings, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "通知設定...(&N)"),
         "", "", EnableRule::Always, CheckRule::None, "", &CMainFrame::OnNotifySettings},
        {CommandId::AutoLogSettings,
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "自動ログ設定(&L)"), "", "",
         EnableRule::Always, CheckRule::None, "", &CMainFrame::OnAutoLogSettings},
        // The framework's own commands, with its standard prompts.
        {CommandId::EditCopy, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ｺﾋﾟｰ(&C)\tCtrl+C"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame",
                           "選択範囲をコピーしてクリップボードに保存します"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "コピー"), EnableRule::Always,
         CheckRule::None, "copy", &CMainFrame::OnEditCopy},
        {CommandId::EditCut, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "切り取り(&T)\tCtrl+X"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame",
                           "選択範囲を切り取ってクリップボードに移動します"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "切り取り"), EnableRule::Always,
         CheckRule::None, "cut", &CMainFrame::OnEditCut},
        {CommandId::EditPaste, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "貼り付け(&P)\tCtrl+V"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "クリップボードの内容を挿入します"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "貼り付け"), EnableRule::Always,
         CheckRule::None, "paste", &CMainFrame::OnEditPaste},
        {CommandId::EditUndo, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "元に戻す(&U)\tCtrl+Z"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "直前に行った動作を元に戻します"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "元に戻す"), EnableRule::Always,
         CheckRule::None, "", &CMainFrame::OnEditUndo},
        {CommandId::AppAbout,
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ﾊﾞｰｼﾞｮﾝ情報(tessel) (&A)..."),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame",
                           "プログラム情報、バージョン、著作権を表示します"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "バージョン情報"), EnableRule::Always,
         CheckRule::None, "about", &CMainFrame::OnAbout},
        {CommandId::AppExit, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "アプリケーションを終了します"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "終了"), EnableRule::Always, CheckRule::None,
         "", &CMainFrame::OnExit},
        {CommandId::ViewToolBar, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ﾂｰﾙ ﾊﾞｰ(&T)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ツール バーの表示/非表示"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ツール バーの表示切り替え"),
         EnableRule::Always, CheckRule::ToolBarVisible, "", &CMainFrame::OnViewToolBar},
        {CommandId::ViewStatusBar, QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ｽﾃｰﾀｽ ﾊﾞｰ(&S)"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ステータス バーの表示/非表示"),
         QT_TRANSLATE_NOOP("tessel::gui::CMainFrame", "ステータス バーの表示切り替え"),
         EnableRule::Always, CheckRule::StatusBarVisible, "", &CMainFrame::OnViewStatusBar},
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

}  // namespace tessel::gui
