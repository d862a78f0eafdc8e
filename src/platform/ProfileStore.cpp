// SPDX-License-Identifier: MIT

#include "platform/ProfileStore.h"
#include "platform/FileSystem.h"
#include "platform/WriteAll.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "protocol/Charset.h"

namespace tessel {

std::mutex& ProfileLock() {
    static std::mutex lock;
    return lock;
}

namespace {

constexpr std::string_view kLineEnd = "\r\n";

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

std::size_t CharLength(std::string_view text, std::size_t i) {
    return ShiftJisCharLength(text, i);
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNames(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size();) {
        const std::size_t n = CharLength(a, i);
        if (n == 2) {
            if (a.substr(i, 2) != b.substr(i, 2)) {
                return false;
            }
        } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
        i += n;
    }
    return true;
}

// Offset of the last `c` that is a character of its own (not a trail byte), or npos.
std::size_t FindLastChar(std::string_view text, char c) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (text[i] == c) {
            found = i;
        }
    }
    return found;
}

std::size_t FindFirstChar(std::string_view text, char c) {
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        if (text[i] == c) {
            return i;
        }
    }
    return std::string_view::npos;
}

// Byte range [begin, end) of a piece of the file.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

Span TrimSpan(std::string_view text, Span span) {
    while (span.begin < span.end && IsBlank(text[span.begin])) {
        ++span.begin;
    }
    while (span.end > span.begin && IsBlank(text[span.end - 1])) {
        --span.end;
    }
    return span;
}

std::string_view Trim(std::string_view text) {
    const Span s = TrimSpan(text, {0, text.size()});
    return text.substr(s.begin, s.end - s.begin);
}

std::string_view View(std::string_view text, Span span) {
    return text.substr(span.begin, span.end - span.begin);
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// One line of the file: its content and the line end after it (empty on a last line that
// has none). CR LF, a lone CR and a lone LF each end a line.
struct Line {
    Span content;
    std::size_t next = 0;  // offset just past the line end

    bool HasLineEnd() const { return next > content.end; }
};

// The line starting at `begin` (which is before the end of `text`).
Line LineAt(std::string_view text, std::size_t begin) {
    std::size_t end = begin;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') {
        ++end;
    }
    std::size_t next = end;
    if (next < text.size()) {
        next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
    }
    return Line{{begin, end}, next};
}

enum class LineKind { kBlank, kComment, kSection, kKey, kOther };

struct ParsedLine {
    LineKind kind = LineKind::kBlank;
    std::string_view name;  // section or key name, trimmed
    Span value;             // the stored value, trimmed, quotes still on
    Span afterEquals;       // everything after '=' up to the line end
};

ParsedLine ParseLine(std::string_view text, const Line& line) {
    ParsedLine parsed;
    const Span trimmed = TrimSpan(text, line.content);
    const std::string_view content = View(text, trimmed);
    if (content.empty()) {
        return parsed;
    }
    if (content.front() == ';') {
        parsed.kind = LineKind::kComment;
        return parsed;
    }
    if (content.front() == '[') {
        const std::size_t close = FindLastChar(content, ']');
        if (close != std::string_view::npos) {
            parsed.kind = LineKind::kSection;
            parsed.name = Trim(content.substr(1, close - 1));
            return parsed;
        }
        // Without a closing bracket the line is read like any other.
    }
    const std::size_t equals = FindFirstChar(content, '=');
    if (equals == std::string_view::npos) {
        parsed.kind = LineKind::kOther;
        return parsed;
    }
    const std::size_t equalsAt = trimmed.begin + equals;
    parsed.kind = LineKind::kKey;
    parsed.name = View(text, TrimSpan(text, {trimmed.begin, equalsAt}));
    parsed.value = TrimSpan(text, {equalsAt + 1, trimmed.end});
    parsed.afterEquals = {equalsAt + 1, line.content.end};
    return parsed;
}

// Where a key is, or would go, in a file. Found in one pass over the text that allocates
// nothing per line, so a lookup in a large file costs no more memory than the file itself.
struct Location {
    bool sectionFound = false;  // the first matching section exists
    bool keyFound = false;      // and holds the key
    Line lastEntry;             // last key of that section, else its header
    ParsedLine key;             // the parsed key line, when found
};

Location Locate(std::string_view text, std::string_view section, std::string_view key) {
    Location where;
    for (std::size_t begin = 0; begin < text.size();) {
        const Line line = LineAt(text, begin);
        begin = line.next;
        const ParsedLine parsed = ParseLine(text, line);
        if (parsed.kind == LineKind::kSection) {
            if (where.sectionFound) {
                break;  // only the first matching section counts
            }
            if (EqualNames(parsed.name, section)) {
                where.sectionFound = true;
                where.lastEntry = line;
            }
            continue;
        }
        if (!where.sectionFound || parsed.kind != LineKind::kKey) {
            continue;
        }
        if (EqualNames(parsed.name, key)) {
            where.keyFound = true;
            where.key = parsed;
            break;
        }
        where.lastEntry = line;
    }
    return where;
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// ---- files ----

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

    // Closes now, reporting errors a delayed write-back may only show here.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile() {
        if (!committed_) {
            ::unlink(path_.c_str());
        }
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }
    void Commit() { committed_ = true; }

  private:
    std::string path_;
    bool committed_ = false;
};

// Opens a new, uniquely named file next to `target`. Created with 0666 so that the umask
// decides a new profile's permissions, as for any file the user creates.
std::optional<TemporaryFile> CreateTemporaryBeside(const std::string& target, int& fdOut) {
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        std::string path = target + suffix;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fdOut = fd;
            return std::optional<TemporaryFile>(std::in_place, std::move(path));
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Writes `bytes` to a temporary file beside `target` and renames it over `target`, so the
// file is always either wholly old or wholly new. `keepMode` carries the permissions of the
// file being replaced.
bool ReplaceFile(const std::string& target, std::string_view bytes,
                 std::optional<mode_t> keepMode) {
    int rawFd = -1;
    std::optional<TemporaryFile> temporary = CreateTemporaryBeside(target, rawFd);
    if (!temporary) {
        return false;
    }
    FileDescriptor fd(rawFd);
    if (keepMode && ::fchmod(fd.get(), *keepMode & 07777) != 0) {
        return false;
    }
    if (!WriteAll(fd.get(), bytes) || ::fsync(fd.get()) != 0 || !fd.Close()) {
        return false;
    }
    if (::rename(temporary->path().c_str(), target.c_str()) != 0) {
        return false;
    }
    temporary->Commit();
    return true;
}

// The file a write must replace: the target of a symbolic link rather than the link, so
// that a linked profile stays linked.
std::string ResolveTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string resolved(real);
            std::free(real);
            return resolved;
        }
    }
    return path;
}

// A read-only file refuses the write even for a user who could replace it (root, or the
// owner of the directory): it was made read-only to keep it as it is.
bool IsReadOnly(const std::string& path, mode_t mode) {
    return (mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty()) {
        return std::nullopt;
    }
    const Location where = Locate(text, section, key);
    if (!where.keyFound) {
        return std::nullopt;
    }
    return std::string(Unquote(View(text, where.key.value)));
}

std::string WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    const Location where = Locate(text, section, key);
    std::string result;
    result.reserve(text.size() + section.size() + key.size() + value.size() + 8);

    if (where.keyFound) {
        // An empty value is replaced together with any blanks after '=' it leaves behind. The
        // spacing around a value is kept, unless the new value brings its own on that side:
        // the old blanks would otherwise stay beside it and add up, one more with every write.
        const Span& stored = where.key.value;
        const bool empty = stored.begin == stored.end;
        const bool blankBefore = !value.empty() && IsBlank(value.front());
        const bool blankAfter = !value.empty() && IsBlank(value.back());
        const Span old{empty || blankBefore ? where.key.afterEquals.begin : stored.begin,
                       empty || blankAfter ? where.key.afterEquals.end : stored.end};
        result.append(text.substr(0, old.begin));
        result.append(value);
        result.append(text.substr(old.end));
        return result;
    }

    std::string keyLine;
    keyLine.append(key).append("=").append(value).append(kLineEnd);

    if (where.sectionFound) {
        const Line& after = where.lastEntry;
        result.append(text.substr(0, after.next));
        if (!after.HasLineEnd()) {
            result.append(kLineEnd);
        }
        result.append(keyLine);
        result.append(text.substr(after.next));
        return result;
    }

    result.append(text);
    if (!result.empty() && result.back() != '\r' && result.back() != '\n') {
        result.append(kLineEnd);
    }
    result.append("[").append(section).append("]").append(kLineEnd);
    result.append(keyLine);
    return result;
}

namespace {

// A name whose last byte is a lead byte on its own would take the "]" or "=" written after it
// as its trail byte, and the entry could never be read back.
bool EndsInLoneLead(std::string_view text) {
    std::size_t last = 0;
    for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) {
        last = i;
    }
    return !text.empty() && CharLength(text, last) == 1 &&
           IsShiftJisLead(static_cast<unsigned char>(text[last]));
}

}  // namespace

bool IsWritableProfileEntry(std::string_view section, std::string_view key,
                            std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty()) {
        return false;
    }
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value)) {
        return false;
    }
    if (EndsInLoneLead(section) || EndsInLoneLead(key)) {
        return false;
    }
    return key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';';
}

std::int32_t ParseProfileInt(std::string_view value, std::int32_t fallback) {
    if (value.empty()) {
        return fallback;
    }
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        negative = value[i] == '-';
        ++i;
    }
    std::uint32_t number = 0;  // unsigned, so overflow wraps modulo 2^32
    if (i + 1 < value.size() && value[i] == '0' && (value[i + 1] == 'x' || value[i + 1] == 'X')) {
        for (i += 2; i < value.size(); ++i) {
            const char c = value[i];
            std::uint32_t digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<std::uint32_t>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                digit = static_cast<std::uint32_t>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                digit = static_cast<std::uint32_t>(c - 'A' + 10);
            } else {
                break;
            }
            number = number * 16 + digit;
        }
    } else {
        for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
            number = number * 10 + static_cast<std::uint32_t>(value[i] - '0');
        }
    }
    if (negative) {
        number = 0u - number;
    }
    return static_cast<std::int32_t>(number);
}

ProfileStore::ProfileStore(std::string path)
    : path_(std::move(path)), systemPath_(SystemPath(path_)) {}

FileBytes ProfileStore::ReadLocked(const std::string& systemPath) {
    return ReadRegularFileAt(systemPath, kMaxProfileSize);
}

ProfileText ProfileStore::ReadAll() const {
    if (!systemPath_) {
        return ProfileText{ReadStatus::kBadName, {}};
    }
    std::lock_guard guard(ProfileLock());
    FileBytes file = ReadLocked(*systemPath_);
    return ProfileText{file.status, std::move(file.bytes)};
}

std::optional<std::string> ProfileStore::Lookup(std::string_view section,
                                                std::string_view key) const {
    const ProfileText file = ReadAll();
    if (file.status != ReadStatus::kOk) {
        return std::nullopt;
    }
    return FindProfileValue(file.text, section, key);
}

std::int32_t ProfileStore::GetProfileInt(std::string_view section, std::string_view key,
                                         std::int32_t defaultValue) const {
    const std::optional<std::string> value = Lookup(section, key);
    return value ? ParseProfileInt(*value, defaultValue) : defaultValue;
}

std::string ProfileStore::GetProfileString(std::string_view section, std::string_view key,
                                           std::string_view defaultValue) const {
    std::optional<std::string> value = Lookup(section, key);
    return value ? std::move(*value) : std::string(defaultValue);
}

bool ProfileStore::WriteProfileInt(std::string_view section, std::string_view key,
                                   std::int32_t value) const {
    return WriteProfileString(section, key, std::to_string(value));
}

bool ProfileStore::WriteProfileString(std::string_view section, std::string_view key,
                                      std::string_view value) const {
    if (!systemPath_ || !IsWritableProfileEntry(section, key, value)) {
        return false;
    }
    std::lock_guard guard(ProfileLock());
    const std::string target = ResolveTarget(*systemPath_);
    const FileBytes file = ReadLocked(target);
    std::optional<mode_t> keepMode;
    if (file.status != ReadStatus::kOk && file.status != ReadStatus::kMissing) {
        // Writing now would replace a file we could not read (or refused to: too large) with
        // one holding a single key.
        return false;
    }
    if (file.status == ReadStatus::kOk) {
        if (IsReadOnly(target, file.mode)) {
            return false;
        }
        keepMode = file.mode;
    }
    return ReplaceFile(target, WithProfileValue(file.bytes, section, key, value), keepMode);
}

}  // namespace tessel

namespace tessel {

// A document the user saves (a session page) is replaced the way the settings file is:
// wholly old or wholly new, never half written.
bool WriteWholeFile(std::string_view corePath, std::string_view bytes) {
    const std::optional<std::string> path = SystemPath(corePath);
    return path && ReplaceFile(*path, bytes, std::nullopt);
}

}  // namespace tessel
