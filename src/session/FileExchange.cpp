// SPDX-License-Identifier: MIT

#include "session/FileExchange.h"

#include <cstdio>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/WriteAll.h"
#include "protocol/Charset.h"
#include "protocol/TextFormat.h"
#include "protocol/Words.h"
#include "session/SessionTexts.h"

namespace tessel {
namespace {

void ShowSystem(DisplayQueue& display, std::string text) {
    DisplayItem item;
    item.kind = DisplayKind::Chat;
    item.name = "system";
    item.systemName = 1;
    item.text = std::move(text);
    display.PostDisplayItem(std::move(item));
}

// A name that stays inside its directory and beside the visible files there: not empty, no
// separator of either system, no parent reference, not hidden (dot files configure programs),
// and no control byte (an ESC, CR or BEL in a name would replay itself in the terminal of
// whoever lists the directory later). The backslash counts only as a character of its own: in
// Shift-JIS, 0x5C is also the second byte of common characters such as "ソ" and "表".
bool IsPlainFileName(std::string_view name) {
    if (name.empty() || name.front() == '.' || name.find('/') != std::string_view::npos ||
        name.find("..") != std::string_view::npos) {
        return false;
    }
    for (const char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) {
            return false;  // never a byte of a two-byte character either
        }
    }
    for (std::size_t i = 0; i < name.size(); i += ShiftJisCharLength(name, i)) {
        if (name[i] == '\\') {
            return false;
        }
    }
    return true;
}

// The directory files are received into, ending in "/"; empty when none has been chosen.
std::string ReceiveDirectoryPath(const std::string& directory) {
    if (directory.empty() || directory.back() == '/') {
        return directory;
    }
    return directory + '/';
}

std::string_view FirstLine(std::string_view body) {
    const std::size_t feed = body.find('\n');
    return body.substr(0, feed == std::string_view::npos ? body.size() : feed);
}

}  // namespace

std::string_view SentFileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> FileSendBlocks(std::string_view destination, std::string_view name,
                                        std::string_view data) {
    std::vector<std::string> blocks;
    int number = 1;
    std::size_t offset = 0;
    for (;;) {
        const std::string_view piece = data.substr(offset, kFilePieceSize);
        offset += piece.size();
        const bool last = piece.size() < kFilePieceSize;
        if (last) {
            number = number == 1 ? kOnlyPiece : kLastPiece;
        }
        char counts[32];
        std::snprintf(counts, sizeof counts, " %3d %8d\n", number, static_cast<int>(piece.size()));
        std::string block = "SENDMESG ";
        block += destination;
        block += "\nCC FILESEND ";
        block += name;
        block += counts;
        block += piece;
        blocks.push_back(std::move(block));
        if (last) {
            return blocks;
        }
        ++number;
    }
}

FileSendResult SendFile(const std::function<void(std::string_view block)>& post,
                        std::string_view destination, const std::string& path,
                        std::chrono::milliseconds pause) {
    // Only a regular file is read, so a FIFO or device chosen by mistake never stalls the
    // window thread, and a longer file is refused before any of it is read.
    const FileBytes file = ReadRegularFile(path, kMaxSendFileSize);
    if (file.status == ReadStatus::kTooLarge) {
        return FileSendResult::TooLarge;
    }
    if (file.status != ReadStatus::kOk) {
        return FileSendResult::CannotOpen;
    }
    const std::string& data = file.bytes;
    const auto blocks = FileSendBlocks(destination, SentFileName(path), data);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        post(blocks[i]);
        if (i + 1 < blocks.size()) {
            std::this_thread::sleep_for(pause);
        }
    }
    return FileSendResult::Sent;
}

std::string SoundRequestBlock(std::string_view destination, std::string_view soundName) {
    std::string block = "SENDMESG ";
    block += destination;
    block += "\nCC SOUNDPLAY ";
    block += SentFileName(soundName);
    block += '\n';
    return block;
}

void ReceiveFilePiece(std::string_view sender, std::string_view body,
                      const std::string& receiveDirectory, DisplayQueue& display,
                      const OwnFiles* ownFiles) {
    // Words come from the piece's first line only, so a short line never borrows file bytes.
    const std::string_view line = FirstLine(body);
    const std::int32_t number = ReadDecimal(WordAt(line, 3));
    if (number < 1) {
        return;
    }
    const std::string name(WordAt(line, 2));
    const std::size_t searched = std::min<std::size_t>(body.size(), 255);
    const std::size_t feed = body.substr(0, searched).find('\n');
    const std::size_t start = (feed == std::string_view::npos ? 255 : feed) + 1;
    const std::int32_t count = ReadDecimal(WordAt(line, 4));
    const bool fitsBody = count >= 0 && start <= body.size() &&
                          static_cast<std::size_t>(count) <= body.size() - start;
    // Without a chosen directory the files would land beside the program's own settings and
    // key file, which a peer must never be able to replace.
    const std::string directory = ReceiveDirectoryPath(receiveDirectory);
    auto refuse = [&] { ShowSystem(display, FillText(texts::kFileReceiveFailed, {name})); };
    if (directory.empty() || !IsPlainFileName(name) || !fitsBody) {
        refuse();
        return;
    }
    // The program's own files are recognised as files, not by how the directory is spelt:
    // "./", its full path and a link to it are all the same place.
    if (ownFiles != nullptr && ownFiles->IsOwnName(directory, name)) {
        refuse();
        return;
    }

    const bool first = number == 1 || number == kOnlyPiece;
    // Opened without truncating, so a file that turns out to be one of the program's own (a
    // hard link to it) is refused untouched.
    File file = OpenReceivedFile(directory + name);
    const std::optional<std::uint64_t> size = file.Size();
    // No file grows past what a sender can send: pieces of no file keep arriving forever.
    const bool usable =
        file.IsOpen() && size && (ownFiles == nullptr || !ownFiles->IsOwnFile(file)) &&
        (first ? file.Truncate() : *size + static_cast<std::uint64_t>(count) <= kMaxSendFileSize);
    if (!usable) {
        refuse();
        return;
    }
    if (first) {
        ShowSystem(display, FillText(texts::kFileReceiveStart, {sender, name}));
    }
    const bool written = file.Write(body.substr(start, static_cast<std::size_t>(count)));
    if (!file.Close() || !written) {
        refuse();
        return;
    }
    if (number == kOnlyPiece || number == kLastPiece) {
        ShowSystem(display, FillText(texts::kFileReceiveEnd, {name}));
    }
}

void ReceiveSoundRequest(std::string_view sender, std::string_view body,
                         const std::string& waveDirectory, DisplayQueue& display,
                         SoundPlayer* player) {
    const std::string name(WordAt(FirstLine(body), 2));
    ShowSystem(display, FillText(texts::kSoundRequestReceived, {sender, name}));
    if (player != nullptr && IsPlainFileName(name)) {
        player->Play(waveDirectory + name);
    }
}

}  // namespace tessel
