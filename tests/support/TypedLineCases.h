// SPDX-License-Identifier: MIT

#pragma once

#include <string>
#include <vector>

#include "protocol/CommandParser.h"
#include "protocol/ProtocolState.h"
#include "support/Iconv.h"

namespace tessel::test {

// Typed lines, what the parser makes of them and what the status bar says of them before
// Enter: one table for the parser's tests and the preview's. Lines and texts are UTF-8 here;
// the program sees them in Shift-JIS (ToSjis).
struct TypedLineCase {
    const char* name;
    std::string line;
    TypedLineIntent::Kind kind;
    CommandCode request;  // the command PrepareOutgoing builds from the same line
    std::string preview;  // while connected
};

inline std::string ToSjis(const std::string& utf8) {
    static const Iconv toSjis("CP932", "UTF-8");
    return toSjis(utf8).value();
}

inline std::string ToUtf8(const std::string& sjis) {
    static const Iconv toUtf8("UTF-8", "CP932");
    return toUtf8(sjis).value();
}

// The own rolls and the r roll the cases read: the last 2d10+2, the one before 3d6.
inline void SetUpTypedLineState() {
    OwnRoll before;
    before.count = 3;
    before.sides = 6;
    before.diceText.assign("1\n2\n3\n");
    RecordOwnRoll(before);
    OwnRoll last;
    last.count = 2;
    last.sides = 10;
    last.modifier = 2;
    last.diceText.assign("4\n9\n");
    RecordOwnRoll(last);
    SetSprollText("2d6+3");
}

inline const std::vector<TypedLineCase>& TypedLineCases() {
    using K = TypedLineIntent::Kind;
    using C = CommandCode;
    static const std::vector<TypedLineCase> cases = {
        {"Chat", "こんにちは", K::Chat, C::SendMesg, "Enter: 発言(チャネルの全員へ)"},
        {"LowerCaseWordIsChat", "getuser", K::Chat, C::SendMesg, "Enter: 発言(チャネルの全員へ)"},
        {"NotDiceIsChat", "2x6", K::Chat, C::SendMesg, "Enter: 発言(チャネルの全員へ)"},
        {"ReceivedWordIsChat", "RESPONSE 100", K::Chat, C::SendMesg,
         "Enter: 発言(チャネルの全員へ)"},
        {"LeadingBlankIsChat", " 2d6", K::Chat, C::SendMesg, "Enter: 発言(チャネルの全員へ)"},
        // Prepared as an empty chat, but the connection drops an empty command unsent.
        {"Empty", "", K::Nothing, C::SendMesg, "Enter: 何も送りません"},
        {"RollWithModifierAndNote", "2d6+1 攻撃", K::Roll, C::Roll,
         "Enter: ダイスロール 2d6+1 メモ「攻撃」"},
        {"RollWithRule", "3d6a", K::Roll, C::Roll,
         "Enter: ダイスロール 3d6 規則「どれかが最大なら振り足し」"},
        {"RollBerserkNegative", "2D6k-2", K::Roll, C::Roll,
         "Enter: ダイスロール 2d6-2 規則「Ｔ＆Ｔバーサーク」"},
        {"RollCommand", "ROLL 3 6 10 1", K::Roll, C::Roll,
         "Enter: ダイスロール 3d6 規則「5以上のダイスを振り足し」"},
        {"RollNoteTooLong", "2d6 " + std::string(33, 'n'), K::Roll, C::Roll,
         "Enter: ダイスロール 2d6 ※メモが長すぎるため付きません"},
        {"RollNoteOfSixteenWide", "1d100 あいうえおかきくけこさしすせそた", K::Roll, C::Roll,
         "Enter: ダイスロール 1d100 メモ「あいうえおかきくけこさしすせそた」"},
        {"RRoll", "r 命中", K::Roll, C::Roll, "Enter: ダイスロール 2d6+3 メモ「命中」"},
        {"FakeRoll", "2d6f 3 4 演出", K::FakeRoll, C::FakeRoll,
         "Enter: フェイクロール 2d6 出目 3 4 メモ「演出」"},
        {"FakeRollWithModifier", "2d6f+1 3 4", K::FakeRoll, C::FakeRoll,
         "Enter: フェイクロール 2d6+1 出目 3 4"},
        {"FakeRollCommand", "FAKEROLL 2 6 9 0 5 5", K::FakeRoll, C::FakeRoll,
         "Enter: フェイクロール 2d6 出目 5 5 規則「ゾロ目ならば振り足し」"},
        {"FakeRollNoValues", "1d20f", K::FakeRoll, C::FakeRoll,
         "Enter: フェイクロール 1d20 出目 なし"},
        {"FakeRollNoteTooLong", "2d6f 3 4 " + std::string(40, 'n'), K::FakeRoll, C::FakeRoll,
         "Enter: フェイクロール 2d6 出目 3 4 ※メモが長すぎるため出目が送られません"},
        {"FakeReplay", "fake", K::FakeRollReplay, C::FakeRoll,
         "Enter: フェイクロール(直前の自分のロール 2d10+2 を出し直す)"},
        {"Berserk", "bsk", K::ReRoll, C::ReRoll,
         "Enter: 振り直し(直前の自分のロール 2d10+2、規則「Ｔ＆Ｔバーサーク(揃えあり)」)"},
        {"BerserkOfTheRollBefore", "bsk2", K::ReRoll, C::ReRoll,
         "Enter: 振り直し(一つ前の自分のロール 3d6、規則「Ｔ＆Ｔバーサーク(揃えあり)」)"},
        {"ReRollCommand", "REROLL 9", K::ReRoll, C::ReRoll,
         "Enter: 振り直し(直前の自分のロール 2d10+2、規則「ゾロ目ならば振り足し」)"},
        {"ReRollPlain", "REROLL 0", K::ReRoll, C::ReRoll,
         "Enter: 振り直し(直前の自分のロール 2d10+2、規則なし)"},
        {"PrivateMessage", "m taro 内緒の話", K::PrivateMessage, C::SendMesg,
         "Enter: taro へのプライベートメッセージ"},
        {"PrivateMessageCommand", "SENDMESG 花子 やあ", K::PrivateMessage, C::SendMesg,
         "Enter: 花子 へのプライベートメッセージ"},
        {"MessageToEveryone", "M * みんなへ", K::Chat, C::SendMesg,
         "Enter: 発言(チャネルの全員へ)"},
        {"Sound", "s fanfare", K::SoundRequest, C::SendMesg,
         "Enter: サウンド要求(全員に fanfare.wav を鳴らしてもらう)"},
        {"UserList", "GETUSER", K::ServerCommand, C::GetUser,
         "Enter: サーバーへの命令 GETUSER(ユーザー一覧)"},
        {"Open", "OPEN hanako", K::ServerCommand, C::Open,
         "Enter: サーバーへの命令 OPEN hanako(ハンドルの登録)"},
        {"Join", "JOIN #table", K::ServerCommand, C::Join,
         "Enter: サーバーへの命令 JOIN #table(チャネルに入る)"},
        {"Mode", "MODE +m", K::ServerCommand, C::Mode,
         "Enter: サーバーへの命令 MODE +m(モード変更)"},
        {"Close", "CLOSE", K::ServerCommand, C::Close, "Enter: サーバーへの命令 CLOSE(切断)"},
        {"ChannelList", "LIST", K::ServerCommand, C::List,
         "Enter: サーバーへの命令 LIST(チャネル一覧)"},
        {"Operate", "OPERATE kick x", K::ServerCommand, C::Operate,
         "Enter: サーバーへの命令 OPERATE kick(管理用の命令)"},
        {"Quit", "CMD QUIT", K::Quit, C::Cmd, "Enter: tessel を終了します(何も送りません)"},
        {"OtherLocalCommand", "CMD HELP", K::LocalNothing, C::Cmd,
         "Enter: 何も起こりません(CMD のあとが QUIT ではありません)"},
        {"TooLong", std::string(5000, 'a'), K::Chat, C::SendMesg,
         "Enter: 発言(チャネルの全員へ) ※行が長すぎるため先頭の 4351 バイトだけ送られます"},
    };
    return cases;
}

}  // namespace tessel::test
