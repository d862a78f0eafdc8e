// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "display/DisplayQueue.h"
#include "platform/OwnFiles.h"
#include "platform/SoundPlayer.h"

namespace tessel {

inline constexpr std::size_t kFilePieceSize = 1024;
inline constexpr std::size_t kMaxSendFileSize = 32768;
inline constexpr int kOnlyPiece = 255;
inline constexpr int kLastPiece = 254;
inline constexpr std::chrono::milliseconds kPiecePause{100};

// The data blocks of a file send, each "SENDMESG <destination>\n" followed by a body
// "CC FILESEND <name> %3d %8d\n" and the piece's bytes: pieces 1, 2, ... of 1024 bytes and a
// last piece 254 with the rest (possibly empty); a file that fits one piece is piece 255.
std::vector<std::string> FileSendBlocks(std::string_view destination, std::string_view name,
                                        std::string_view data);

enum class FileSendResult { Sent, CannotOpen, TooLarge };

// Reads the file at `path` and posts its pieces with `post`, pausing between pieces so the
// server's queue keeps up. Files over 32768 bytes, or that cannot be read, are not sent.
FileSendResult SendFile(const std::function<void(std::string_view block)>& post,
                        std::string_view destination, const std::string& path,
                        std::chrono::milliseconds pause = kPiecePause);

// The name a path is sent under: its part after the last "/".
std::string_view SentFileName(std::string_view path);

// The data block of a sound-play request for `soundName` (sent under its part after the last
// "/").
std::string SoundRequestBlock(std::string_view destination, std::string_view soundName);

// One received file piece: `body` is the whole body as received. Writes only inside
// `receiveDirectory`, under the name's UTF-8 form; a name with a path separator, "..", a
// control byte or no UTF-8 form, a count past the received data, or a file that is one of
// `ownFiles` (by identity, however the directory is spelt) is refused with the failure line.
void ReceiveFilePiece(std::string_view sender, std::string_view body,
                      const std::string& receiveDirectory, DisplayQueue& display,
                      const OwnFiles* ownFiles = nullptr);

// A received sound-play request: announced, then played from `waveDirectory` when the name is a
// plain file name.
void ReceiveSoundRequest(std::string_view sender, std::string_view body,
                         const std::string& waveDirectory, DisplayQueue& display,
                         SoundPlayer* player);

}  // namespace tessel
