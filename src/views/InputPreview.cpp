// SPDX-License-Identifier: MIT

#include "views/InputPreview.h"

#include <string_view>

#include "protocol/TextFormat.h"
#include "views/RollReport.h"

namespace tessel {
namespace {

// Display texts of the preview, Shift-JIS.
// "Enter: 何も送りません"
inline constexpr std::string_view kNothing =
    "Enter: \x89\xBD\x82\xE0\x91\x97\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "Enter: 発言(チャネルの全員へ)"
inline constexpr std::string_view kChat =
    "Enter: \x94\xAD\x8C\xBE(\x83`\x83\x83\x83l\x83\x8B\x82\xCC\x91S\x88\xF5\x82\xD6)";
// "Enter: ダイスロール %s"
inline constexpr std::string_view kRoll =
    "Enter: \x83_\x83"
    "C\x83X\x83\x8D\x81[\x83\x8B %s";
// "Enter: フェイクロール %s 出目 %s"
inline constexpr std::string_view kFakeRoll =
    "Enter: \x83t\x83"
    "F\x83"
    "C\x83N\x83\x8D\x81[\x83\x8B %s \x8Fo\x96\xDA %s";
// "なし"
inline constexpr std::string_view kFakeNoValues = "\x82\xC8\x82\xB5";
// "Enter: フェイクロール(%s %s を出し直す)"
inline constexpr std::string_view kFakeReplay =
    "Enter: \x83t\x83"
    "F\x83"
    "C\x83N\x83\x8D\x81[\x83\x8B(%s %s \x82\xF0\x8Fo\x82\xB5\x92\xBC\x82\xB7)";
// "Enter: 振り直し(%s %s、規則「%s」)"
inline constexpr std::string_view kReRoll =
    "Enter: \x90U\x82\xE8\x92\xBC\x82\xB5(%s %s\x81"
    "A\x8BK\x91\xA5\x81u%s\x81v)";
// "Enter: 振り直し(%s %s、規則なし)"
inline constexpr std::string_view kReRollPlain =
    "Enter: \x90U\x82\xE8\x92\xBC\x82\xB5(%s %s\x81"
    "A\x8BK\x91\xA5\x82\xC8\x82\xB5)";
// "直前の自分のロール"
inline constexpr std::string_view kLastRoll =
    "\x92\xBC\x91O\x82\xCC\x8E\xA9\x95\xAA\x82\xCC\x83\x8D\x81[\x83\x8B";
// "一つ前の自分のロール"
inline constexpr std::string_view kPreviousRoll =
    "\x88\xEA\x82\xC2\x91O\x82\xCC\x8E\xA9\x95\xAA\x82\xCC\x83\x8D\x81[\x83\x8B";
// " ※まだ自分のロールがないため 0 個のダイスになります"
inline constexpr std::string_view kNoOwnRoll =
    " \x81\xA6\x82\xDC\x82\xBE\x8E\xA9\x95\xAA\x82\xCC\x83\x8D\x81["
    "\x83\x8B\x82\xAA\x82\xC8\x82\xA2\x82\xBD\x82\xDF 0 \x8C\xC2\x82\xCC\x83_\x83"
    "C\x83X\x82\xC9\x82\xC8\x82\xE8\x82\xDC\x82\xB7";
// " 規則「%s」"
inline constexpr std::string_view kRule = " \x8BK\x91\xA5\x81u%s\x81v";
// " メモ「%s」"
inline constexpr std::string_view kNote = " \x83\x81\x83\x82\x81u%s\x81v";
// " ※メモが長すぎるため付きません"
inline constexpr std::string_view kNoteDropped =
    " \x81\xA6\x83\x81\x83\x82\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xE9\x82\xBD\x82\xDF\x95t\x82\xAB"
    "\x82\xDC\x82\xB9\x82\xF1";
// " ※メモが長すぎるため出目が送られません"
inline constexpr std::string_view kValuesDropped =
    " \x81\xA6\x83\x81\x83\x82\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xE9\x82\xBD\x82\xDF\x8Fo\x96\xDA"
    "\x82\xAA\x91\x97\x82\xE7\x82\xEA\x82\xDC\x82\xB9\x82\xF1";
// "Enter: %s へのプライベートメッセージ"
inline constexpr std::string_view kPrivate =
    "Enter: %s \x82\xD6\x82\xCC\x83v\x83\x89\x83"
    "C\x83x\x81[\x83g\x83\x81\x83"
    "b\x83Z\x81[\x83W";
// "Enter: サウンド要求(全員に %s を鳴らしてもらう)"
inline constexpr std::string_view kSound =
    "Enter: \x83T\x83"
    "E\x83\x93\x83h\x97v\x8B\x81(\x91S\x88\xF5\x82\xC9 %s "
    "\x82\xF0\x96\xC2\x82\xE7\x82\xB5\x82\xC4\x82\xE0\x82\xE7\x82\xA4)";
// "Enter: サーバーへの命令 %s(%s)"
inline constexpr std::string_view kServerCommand =
    "Enter: \x83T\x81[\x83o\x81[\x82\xD6\x82\xCC\x96\xBD\x97\xDF %s(%s)";
// "ハンドルの登録"
inline constexpr std::string_view kMeaningOpen = "\x83n\x83\x93\x83h\x83\x8B\x82\xCC\x93o\x98^";
// "チャネルに入る"
inline constexpr std::string_view kMeaningJoin =
    "\x83`\x83\x83\x83l\x83\x8B\x82\xC9\x93\xFC\x82\xE9";
// "切断"
inline constexpr std::string_view kMeaningClose =
    "\x90\xD8\x92"
    "f";
// "モード変更"
inline constexpr std::string_view kMeaningMode = "\x83\x82\x81[\x83h\x95\xCF\x8DX";
// "ユーザー一覧"
inline constexpr std::string_view kMeaningGetUser = "\x83\x86\x81[\x83U\x81[\x88\xEA\x97\x97";
// "チャネル一覧"
inline constexpr std::string_view kMeaningList = "\x83`\x83\x83\x83l\x83\x8B\x88\xEA\x97\x97";
// "管理用の命令"
inline constexpr std::string_view kMeaningOperate = "\x8A\xC7\x97\x9D\x97p\x82\xCC\x96\xBD\x97\xDF";
// "Enter: tessel を終了します(何も送りません)"
inline constexpr std::string_view kQuit =
    "Enter: tessel "
    "\x82\xF0\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB7("
    "\x89\xBD\x82\xE0\x91\x97\x82\xE8\x82\xDC\x82\xB9\x82\xF1)";
// "Enter: 何も起こりません(CMD のあとが QUIT ではありません)"
inline constexpr std::string_view kLocalNothing =
    "Enter: \x89\xBD\x82\xE0\x8BN\x82\xB1\x82\xE8\x82\xDC\x82\xB9\x82\xF1(CMD "
    "\x82\xCC\x82\xA0\x82\xC6\x82\xAA QUIT "
    "\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1)";
// " ※行が長すぎるため先頭の %s バイトだけ送られます"
inline constexpr std::string_view kCut =
    " \x81\xA6\x8Ds\x82\xAA\x92\xB7\x82\xB7\x82\xAC\x82\xE9\x82\xBD\x82\xDF\x90\xE6\x93\xAA\x82\xCC"
    " %s \x83o\x83"
    "C\x83g\x82\xBE\x82\xAF\x91\x97\x82\xE7\x82\xEA\x82\xDC\x82\xB7";
// " ※接続していないため送られません"
inline constexpr std::string_view kNotConnected =
    " \x81\xA6\x90\xDA\x91\xB1\x82\xB5\x82\xC4\x82\xA2\x82\xC8\x82\xA2\x82\xBD\x82\xDF\x91\x97\x82"
    "\xE7\x82\xEA\x82\xDC\x82\xB9\x82\xF1";

using Kind = TypedLineIntent::Kind;

// "2d6+1": count, sides and the modifier when the line gave one.
std::string DiceText(std::int32_t count, std::int32_t sides, bool hasModifier,
                     std::int32_t modifier) {
    std::string text = std::to_string(count) + 'd' + std::to_string(sides);
    if (hasModifier && modifier != 0) {
        text += (modifier > 0 ? "+" : "") + std::to_string(modifier);
    }
    return text;
}

std::string RuleAndNote(const TypedLineIntent& intent, std::string_view dropped) {
    std::string text;
    const std::string rule =
        RollRuleName(intent.dice.rule, intent.dice.parameter, intent.dice.sides);
    if (!rule.empty()) {
        text += FillText(kRule, {rule});
    }
    if (intent.noteTooLong) {
        text += dropped;
    } else if (!intent.note.empty()) {
        text += FillText(kNote, {intent.note});
    }
    return text;
}

std::string_view Meaning(CommandCode code) {
    switch (code) {
        case CommandCode::Open:
            return kMeaningOpen;
        case CommandCode::Join:
            return kMeaningJoin;
        case CommandCode::Close:
            return kMeaningClose;
        case CommandCode::Mode:
            return kMeaningMode;
        case CommandCode::GetUser:
            return kMeaningGetUser;
        case CommandCode::List:
            return kMeaningList;
        default:
            return kMeaningOperate;
    }
}

std::string OwnRollText(const TypedLineIntent& intent, std::string_view pattern,
                        std::string_view rule) {
    const OwnRoll& roll = intent.ownRoll;
    std::string text =
        FillText(pattern, {intent.rollSlot == 1 ? kPreviousRoll : kLastRoll,
                           DiceText(roll.count, roll.sides, true, roll.modifier), rule});
    if (roll.count == 0) {
        text += kNoOwnRoll;
    }
    return text;
}

// The account of the request itself, before what keeps it from going.
std::string Describe(const TypedLineIntent& intent) {
    const DiceExpression& dice = intent.dice;
    switch (intent.kind) {
        case Kind::Nothing:
            return std::string(kNothing);
        case Kind::Chat:
            return std::string(kChat);
        case Kind::Roll:
            return FillText(kRoll,
                            {DiceText(dice.count, dice.sides, dice.hasModifier, dice.modifier)}) +
                   RuleAndNote(intent, kNoteDropped);
        case Kind::FakeRoll:
            return FillText(kFakeRoll,
                            {DiceText(dice.count, dice.sides, dice.hasModifier, dice.modifier),
                             intent.values.empty() ? kFakeNoValues : intent.values}) +
                   RuleAndNote(intent, kValuesDropped);
        case Kind::FakeRollReplay:
            return OwnRollText(intent, kFakeReplay, {});
        case Kind::ReRoll: {
            const std::string rule = RollRuleName(dice.rule, dice.parameter, intent.ownRoll.sides);
            return OwnRollText(intent, rule.empty() ? kReRollPlain : kReRoll, rule);
        }
        case Kind::PrivateMessage:
            return FillText(kPrivate, {intent.target});
        case Kind::SoundRequest:
            return FillText(kSound, {intent.word});
        case Kind::ServerCommand: {
            const std::string command =
                intent.argument.empty() ? intent.word : intent.word + ' ' + intent.argument;
            return FillText(kServerCommand, {command, Meaning(intent.code)});
        }
        case Kind::Quit:
            return std::string(kQuit);
        case Kind::LocalNothing:
            return std::string(kLocalNothing);
    }
    return std::string(kNothing);
}

}  // namespace

std::string DescribeTypedLine(const TypedLineIntent& intent, bool connected) {
    std::string text = Describe(intent);
    const bool sends = intent.kind != Kind::Nothing && intent.kind != Kind::Quit &&
                       intent.kind != Kind::LocalNothing;
    if (sends && !connected) {
        text += kNotConnected;
    } else if (sends && intent.cut) {
        text += FillText(kCut, {std::to_string(intent.sentBytes)});
    }
    return text;
}

}  // namespace tessel
