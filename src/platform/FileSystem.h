// SPDX-License-Identifier: MIT

#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WriteAll.h"

namespace tessel {

// The core keeps every text as Shift-JIS (code page 932) bytes, file names and paths included;
// Linux file systems, tools and file managers expect UTF-8 names. These functions are where
// the two meet: every file the core opens, creates or lists goes through them, and a path
// from the operating system (the working directory, a file dialog) comes back through
// CorePath. A name that has no form on the other side is refused, never written mangled.

// The UTF-8 form of a Shift-JIS path; nullopt when it holds a byte sequence that is no
// code page 932 character (a lone lead byte, an unassigned code) or a zero byte.
std::optional<std::string> SystemPath(std::string_view corePath);

// The Shift-JIS form of a path from the operating system; nullopt when it is not valid UTF-8
// or holds a character code page 932 has no code for.
std::optional<std::string> CorePath(std::string_view systemPath);

// The process's working directory in Shift-JIS; nullopt when it cannot be read or converted.
std::optional<std::string> WorkingDirectory();

// What makes two paths the same file, however they are spelt: through "./", "..", symbolic
// links to a directory or hard links.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file or directory at `corePath`, following symbolic links; nullopt
// when there is none (or the name does not convert).
std::optional<FileIdentity> IdentityOf(std::string_view corePath);

// An open file descriptor, closed with the object.
class File {
  public:
    File() = default;
    explicit File(int fd) : fd_(fd) {}
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

    bool Write(std::string_view bytes) const { return IsOpen() && WriteAll(fd_, bytes); }
    std::optional<FileIdentity> Identity() const;
    std::optional<std::uint64_t> Size() const;
    bool IsRegular() const;
    // Empties the file and continues writing at its start.
    bool Truncate() const;
    // Closes now, reporting what a delayed write-back may only show here.
    bool Close();

  private:
    int fd_ = -1;
};

enum class ReadStatus {
    kOk,
    kMissing,     // no such file (or directory on the way)
    kBadName,     // the name does not convert to a file system name
    kNotRegular,  // a directory, FIFO, device or socket: never read, never waited on
    kTooLarge,    // larger than the caller's limit: nothing read
    kFailed,      // any other error
};

struct FileBytes {
    ReadStatus status = ReadStatus::kFailed;
    std::string bytes;
    mode_t mode = 0;  // with kOk: the file's type and permission bits
};

// What the user is told when a file the program reads at start (the settings, a key file) is
// larger than it reads; %s is the path, %d the limit in bytes.
// "%sは大きすぎるため読み込みません(上限%dバイト)"
inline constexpr std::string_view kFileTooLargeText =
    "%s\x82\xcd\x91\xe5\x82\xab\x82\xb7\x82\xac\x82\xe9\x82\xbd\x82\xdf\x93\xc7\x82\xdd\x8d\x9e"
    "\x82\xdd\x82\xdc\x82\xb9\x82\xf1(\x8f\xe3\x8c\xc0%d\x83o\x83"
    "C\x83g)\r\n";

// The whole of a regular file, when it holds at most `maxBytes` bytes. A FIFO or device under
// the name is refused without waiting on it, and a file that grows past the limit while it is
// read is refused too, so the memory used never exceeds the limit.
FileBytes ReadRegularFile(std::string_view corePath, std::size_t maxBytes);
// The same for a path already in its file system form.
FileBytes ReadRegularFileAt(const std::string& systemPath, std::size_t maxBytes);

// Writes `bytes` as the whole file at `corePath`, through a temporary file beside it renamed
// over it, so an existing file is either left as it was or wholly replaced. False when the
// name does not convert or anything fails.
bool WriteWholeFile(std::string_view corePath, std::string_view bytes);

// A log: created when missing (permissions from the umask), never truncated, every write at
// the end, not inherited by programs the client starts. Not open when the name does not
// convert or the open fails.
File OpenForAppend(std::string_view corePath);

// A file received from a peer: created when missing, never through a symbolic link, never a
// FIFO or device (refused without blocking), and not truncated yet, so the caller can check
// what it opened before changing it. Not open when any of that fails.
File OpenReceivedFile(std::string_view corePath);

// The names in a directory, in Shift-JIS, without "." and ".."; names that have no Shift-JIS
// form are left out (the core could not name them again). nullopt when it cannot be read.
std::optional<std::vector<std::string>> ListDirectory(std::string_view corePath);

}  // namespace tessel
