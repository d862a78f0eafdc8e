// SPDX-License-Identifier: MIT

#pragma once

#include <string>
#include <vector>

// What a hostile server or a hostile peer can send a client, as one table that every front
// end's helper drives. A case is a list of steps, each either a message the (scripted) server
// sends straight to the client or a message a hostile peer sends to everyone through
// tessel-relay, and what the user must see afterwards. Every case is also held to what holds
// for all of them, which each helper checks:
// - the program's own files (settings, key file and its include, log) keep their content and
//   their identity, and nothing is created or changed outside the receive directory, which
//   is the client's working directory itself (the worst place a user can choose);
// - nothing shown or logged carries a terminal control (ESC, BEL, C1 controls) or a colour
//   marker from peer bytes;
// - the client is still live: a line sent after the case is shown, and the client ends
//   cleanly when the user quits.
// Texts are in the program's own Shift-JIS; "$DIR" stands for the working directory's full
// path.
namespace tessel::test {

enum class Route {
    Server,  // the scripted server sends `line` + `body` as a message to the client
    Relay,   // a hostile client of tessel-relay sends `body` as SENDMESG * (line: its handle)
};

struct HostileStep {
    Route route = Route::Server;
    std::string line;  // Server: the command line; Relay: the hostile peer's handle
    std::string body;
    std::string type = "tesra/euc";
    std::size_t repeat = 1;  // sent this many times
    bool raw = false;        // Server: `body` is sent as it is, not framed as a message
};

struct HostileCase {
    const char* name;
    std::vector<HostileStep> steps;
    std::vector<std::string> shown;   // Shift-JIS texts the user must see, in any order
    bool serverStopsReading = false;  // the server reads nothing while the user types
};

inline HostileStep Server(std::string line, std::string body, std::string type = "tesra/euc",
                          std::size_t repeat = 1) {
    return {Route::Server, std::move(line), std::move(body), std::move(type), repeat, false};
}
inline HostileStep RawServer(std::string bytes, std::size_t repeat = 1) {
    return {Route::Server, {}, std::move(bytes), {}, repeat, true};
}
inline HostileStep Peer(std::string handle, std::string body, std::string type = "tesra/binary") {
    return {Route::Relay, std::move(handle), std::move(body), std::move(type), 1, false};
}

// A file piece body as a sender lays it out.
inline std::string Piece(const std::string& name, int number, const std::string& data,
                         int count = -1) {
    char counts[32];
    std::snprintf(counts, sizeof counts, " %3d %8d\n", number,
                  count < 0 ? static_cast<int>(data.size()) : count);
    return "CC FILESEND " + name + counts + data;
}

inline const std::string kFileFailed =
    "\x83t\x83@\x83"
    "C\x83\x8B";  // "ファイル" (of "ファイル<name>受信失敗")
inline const std::string kReceiveFailed = "\x8E\xF3\x90M\x8E\xB8\x94s";  // "受信失敗"
inline const std::string kGeta = "\x81\xAC";  // what a colour marker from a peer becomes
inline const std::string kMarkSystem = "\xFC\xFA";
inline const std::string kPayload = "PWNED-BY-A-PEER";

inline std::string Rows(std::size_t count) {
    std::string rows;
    for (std::size_t i = 0; i < count; ++i) {
        rows +=
            "user" + std::to_string(i) + " #main 10.0.0." + std::to_string(i % 250) + ":4000 0\n";
    }
    return rows;
}

inline std::vector<HostileCase> HostileCases() {
    const std::string sjis = "tesra/sjis";
    return {
        // Pieces named after the program's own files, by every spelling.
        {"PieceNamedAfterTheSettingsFile",
         {Server("SHOWMESG bob", Piece("tessel.ini", 255, kPayload), "tesra/binary")},
         {kFileFailed + "tessel.ini" + kReceiveFailed}},
        {"PieceNamedAfterTheKeyFileAndItsInclude",
         {Server("SHOWMESG bob", Piece("tessel.key", 255, kPayload), "tesra/binary"),
          Server("SHOWMESG bob", Piece("inc.key", 1, kPayload), "tesra/binary")},
         {kFileFailed + "tessel.key" + kReceiveFailed, kFileFailed + "inc.key" + kReceiveFailed}},
        {"PieceNamedAfterTheOpenLog",
         {Server("SHOWMESG bob", Piece("taro.log", 255, kPayload), "tesra/binary")},
         {kFileFailed + "taro.log" + kReceiveFailed}},
        {"PieceNamedWithDotSlashOrAbsolutePath",
         {Server("SHOWMESG bob", Piece("./tessel.ini", 255, kPayload), "tesra/binary"),
          Server("SHOWMESG bob", Piece("$DIR/tessel.key", 255, kPayload), "tesra/binary")},
         {kFileFailed + "./tessel.ini" + kReceiveFailed}},
        {"PieceThroughASymbolicOrHardLink",
         {Server("SHOWMESG bob", Piece("ini-link", 255, kPayload), "tesra/binary"),
          Server("SHOWMESG bob", Piece("outside-link", 255, kPayload), "tesra/binary"),
          Server("SHOWMESG bob", Piece("hard.key", 255, kPayload), "tesra/binary")},
         {kFileFailed + "ini-link" + kReceiveFailed, kFileFailed + "outside-link" + kReceiveFailed,
          kFileFailed + "hard.key" + kReceiveFailed}},
        {"PieceNamesWithDotsControlBytesOrTooLong",
         {Server("SHOWMESG bob", Piece("..", 255, kPayload), "tesra/binary"),
          Server("SHOWMESG bob", Piece("../outside.txt", 255, kPayload), "tesra/binary"),
          Server("SHOWMESG bob", Piece("a\x1B[2J\x07\x7F.txt", 255, kPayload), "tesra/binary"),
          Server("SHOWMESG bob", Piece(std::string(256, 'n'), 255, kPayload), "tesra/binary")},
         {kFileFailed + ".." + kReceiveFailed}},
        {"PieceOf255ByteNameIsAnOrdinaryFile",
         {Server("SHOWMESG bob", Piece(std::string(255, 'n'), 255, "fine"), "tesra/binary")},
         {}},
        {"PieceCountsPastTheBody",
         {Server("SHOWMESG bob", Piece("short.txt", 255, "abc", 9999), "tesra/binary"),
          Server("SHOWMESG bob", Piece("neg.txt", 255, "abc", -5), "tesra/binary")},
         {kFileFailed + "short.txt" + kReceiveFailed}},
        {"PiecesFromAPeerThroughTheRelay",
         {Peer("mallory", Piece("tessel.ini", 255, kPayload)),
          Peer("mallory", Piece("../outside.txt", 255, kPayload)),
          Peer("mallory", Piece("hard.key", 255, kPayload))},
         {kFileFailed + "tessel.ini" + kReceiveFailed, kFileFailed + "hard.key" + kReceiveFailed}},
        {"SoundRequestsOutsideTheSoundDirectory",
         {Server("SHOWMESG bob", "CC SOUNDPLAY ../tessel.ini\n", "tesra/binary"),
          Peer("mallory", "CC SOUNDPLAY /etc/passwd\n")},
         {}},

        // Colour markers in every text a peer controls.
        {"ColourMarkerInAChatText",
         {Server("SHOWMESG bob", kMarkSystem + " fake notice", sjis)},
         {kGeta + " fake notice"}},
        // A command line is EUC-JP on the wire, where the marker's bytes are a character.
        {"ColourMarkerInAHandle", {Server("SHOWMESG " + kMarkSystem + "bob", "hi", sjis)}, {}},
        {"ColourMarkerInARollReport",
         {Server("SHOW 2 6 " + kMarkSystem + "roller 0 0", "3\n" + kMarkSystem + "\n",
                 "tesra/result")},
         {}},
        {"ColourMarkerFromAPeerThroughTheRelay",
         {Peer("mallory", kMarkSystem + " fake notice", sjis),
          Peer(kMarkSystem + "mallory", "hi", sjis)},
         {kGeta + " fake notice"}},
        {"TerminalControlsFromAPeerThroughTheRelay",
         {Peer("mallory",
               "a\x1B]0;owned\x07 \xC2\x9B"
               "31m b\x8E\x1B[2J",
               "tesra/euc")},
         {}},

        // Floods and endless input.
        {"UserListsOf33RowsAndMore",
         {Server("PUTUSER", Rows(33)), Server("PUTUSER", Rows(1000)),
          Server("PUTUSER", Rows(33), "tesra/euc", 200)},
         {}},
        {"EndlessHeader",
         {RawServer("TesseraRELAY/0.1\ntoClient\nSHOWMESG bob\n"),
          RawServer("X-Filler: " + std::string(1000, 'h') + "\n", 2000), RawServer("\n")},
         {}},
        {"EndlessBody",
         {RawServer("TesseraRELAY/0.1\ntoClient\nSHOWMESG bob\nContent-length: 99999999\n\n"),
          RawServer(std::string(4000, 'b') + "\n", 500)},
         {}},
        {"ServerThatStopsReading", {}, {}, true},
    };
}

}  // namespace tessel::test
