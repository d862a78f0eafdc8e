// SPDX-License-Identifier: MIT

#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <utility>

namespace tessel {
namespace {

// One iconv conversion, opened per call: paths are converted when a file is opened, not per
// byte of traffic, and a descriptor shared between threads would need a lock.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) {
            ::iconv_close(cd_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // nullopt on any byte sequence that does not convert exactly.
    std::optional<std::string> Convert(std::string_view text) const {
        if (cd_ == reinterpret_cast<iconv_t>(-1) || text.find('\0') != std::string_view::npos) {
            return std::nullopt;
        }
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(text.size() * 3 + 4, '\0');  // a 932 character is at most 3 UTF-8 bytes
        char* in = const_cast<char*>(text.data());   // iconv's interface; it does not write here
        std::size_t inLeft = text.size();
        char* next = out.data();
        std::size_t outLeft = out.size();
        if (::iconv(cd_, &in, &inLeft, &next, &outLeft) == static_cast<std::size_t>(-1) ||
            ::iconv(cd_, nullptr, nullptr, &next, &outLeft) == static_cast<std::size_t>(-1)) {
            return std::nullopt;
        }
        out.resize(out.size() - outLeft);
        return out;
    }

  private:
    iconv_t cd_;
};

constexpr const char* kCoreCharset = "CP932";
constexpr const char* kSystemCharset = "UTF-8";

ReadStatus StatusOfOpenError(int error) {
    return (error == ENOENT || error == ENOTDIR) ? ReadStatus::kMissing : ReadStatus::kFailed;
}

}  // namespace

std::optional<std::string> SystemPath(std::string_view corePath) {
    return Converter(kSystemCharset, kCoreCharset).Convert(corePath);
}

std::optional<std::string> CorePath(std::string_view systemPath) {
    return Converter(kCoreCharset, kSystemCharset).Convert(systemPath);
}

std::optional<std::string> WorkingDirectory() {
    struct Freer {
        void operator()(char* text) const { std::free(text); }
    };
    const std::unique_ptr<char, Freer> cwd(::getcwd(nullptr, 0));
    if (!cwd) {
        return std::nullopt;
    }
    return CorePath(cwd.get());
}

std::optional<FileIdentity> IdentityOf(std::string_view corePath) {
    const std::optional<std::string> path = SystemPath(corePath);
    struct stat info {};
    if (!path || ::stat(path->c_str(), &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{info.st_dev, info.st_ino};
}

File::~File() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

std::optional<FileIdentity> File::Identity() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
        return std::nullopt;
    }
    return FileIdentity{info.st_dev, info.st_ino};
}

std::optional<std::uint64_t> File::Size() const {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(info.st_size);
}

bool File::IsRegular() const {
    struct stat info {};
    return fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
}

bool File::Truncate() const {
    return fd_ >= 0 && ::ftruncate(fd_, 0) == 0 && ::lseek(fd_, 0, SEEK_SET) == 0;
}

bool File::Close() {
    const int fd = std::exchange(fd_, -1);
    return fd >= 0 && ::close(fd) == 0;
}

FileBytes ReadRegularFile(std::string_view corePath, std::size_t maxBytes) {
    const std::optional<std::string> path = SystemPath(corePath);
    if (!path) {
        return FileBytes{ReadStatus::kBadName, {}, 0};
    }
    return ReadRegularFileAt(*path, maxBytes);
}

FileBytes ReadRegularFileAt(const std::string& systemPath, std::size_t maxBytes) {
    FileBytes result;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    File file(::open(systemPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.IsOpen()) {
        result.status = StatusOfOpenError(errno);
        return result;
    }
    struct stat info {};
    if (::fstat(file.Descriptor(), &info) != 0) {
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.status = ReadStatus::kNotRegular;
        return result;
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        result.status = ReadStatus::kTooLarge;
        return result;
    }
    result.mode = info.st_mode;
    result.bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(file.Descriptor(), buffer, sizeof buffer);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.bytes.clear();
            return result;
        }
        if (result.bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            result.bytes = std::string();  // grew while being read
            result.status = ReadStatus::kTooLarge;
            return result;
        }
        result.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    result.status = ReadStatus::kOk;
    return result;
}

File OpenForAppend(std::string_view corePath) {
    const std::optional<std::string> path = SystemPath(corePath);
    if (!path) {
        return File();
    }
    return File(::open(path->c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
}

File OpenReceivedFile(std::string_view corePath) {
    const std::optional<std::string> path = SystemPath(corePath);
    if (!path) {
        return File();
    }
    File file(::open(path->c_str(),
                     O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644));
    if (!file.IsRegular()) {
        return File();
    }
    return file;
}

std::optional<std::vector<std::string>> ListDirectory(std::string_view corePath) {
    const std::optional<std::string> path = SystemPath(corePath);
    if (!path) {
        return std::nullopt;
    }
    struct DirCloser {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(path->c_str()));
    if (!dir) {
        return std::nullopt;
    }
    const Converter toCore(kCoreCharset, kSystemCharset);
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (std::optional<std::string> converted = toCore.Convert(name)) {
            names.push_back(std::move(*converted));
        }
    }
    return names;
}

}  // namespace tessel
