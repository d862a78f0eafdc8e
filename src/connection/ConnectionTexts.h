#pragma once

#include <string_view>

namespace tessel::texts {

// Display lines of the connection, Shift-JIS.
inline constexpr std::string_view kConnectingTo = "Connecting to Address: %s    Port:%d   ....\r\n";
// "接続中..."
inline constexpr std::string_view kConnecting = "\x90\xDA\x91\xB1\x92\x86...\r\n";
// "接続完了..."
inline constexpr std::string_view kConnected = "\x90\xDA\x91\xB1\x8A\xAE\x97\xB9...\r\n";
// "接続に失敗しました"
inline constexpr std::string_view kConnectFailed =
    "\x90\xDA\x91\xB1\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD\r\n";
// "回線が切断されました"
inline constexpr std::string_view kLineDropped =
    "\x89\xF1\x90\xFC\x82\xAA\x90\xD8\x92"
    "f\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD\r\n";
inline constexpr std::string_view kConnectionClosed = "Connection Closed.\r\n";
// "ホストに接続できません"
inline constexpr std::string_view kCannotReachHost =
    "\x83z\x83X\x83g\x82\xC9\x90\xDA\x91\xB1\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\r\n\r\n";
// "タイムアウトしました"
inline constexpr std::string_view kTimedOut =
    "\x83^\x83"
    "C\x83\x80\x83"
    "A\x83"
    "E\x83g\x82\xB5\x82\xDC\x82\xB5\x82\xBD\r\n\r\n";
// "接続は拒否されました"
inline constexpr std::string_view kRefused =
    "\x90\xDA\x91\xB1\x82\xCD\x8B\x91\x94\xDB\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD\r\n\r\n";
// "ホストにパケットが届きません"
inline constexpr std::string_view kUnreachable =
    "\x83z\x83X\x83g\x82\xC9\x83p\x83P\x83"
    "b\x83g\x82\xAA\x93\xCD\x82\xAB\x82\xDC\x82\xB9\x82\xF1\r\n\r\n";
// "エラーが起こりました。\r\nError Code: %d"
inline constexpr std::string_view kOtherError =
    "\x83G\x83\x89\x81[\x82\xAA\x8BN\x82\xB1\x82\xE8\x82\xDC\x82\xB5\x82\xBD\x81"
    "B\r\nError Code: %d\r\n\r\n";

// "送信できなかった %s バイトを破棄しました"
inline constexpr std::string_view kUnsentDropped =
    "\x91\x97\x90M\x82\xC5\x82\xAB\x82\xC8\x82\xA9\x82\xC1\x82\xBD %s \x83o\x83"
    "C\x83g\x82\xF0\x94j\x8A\xFC\x82\xB5\x82\xDC\x82\xB5\x82\xBD\r\n";

}  // namespace tessel::texts
