// SPDX-License-Identifier: MIT

#include "platform/OwnFiles.h"

#include <algorithm>
#include <optional>

namespace tessel {
namespace {

// The directory part of a path, "." for a bare name (relative to the working directory, as
// the file system reads it).
std::string_view DirectoryOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) {
        return ".";
    }
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string_view NameOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

void OwnFiles::Add(std::string corePath) {
    std::lock_guard guard(lock_);
    paths_.push_back(std::move(corePath));
}

void OwnFiles::Remove(std::string_view corePath) {
    std::lock_guard guard(lock_);
    const auto found = std::find(paths_.begin(), paths_.end(), corePath);
    if (found != paths_.end()) {
        paths_.erase(found);
    }
}

std::vector<std::string> OwnFiles::Snapshot() const {
    std::lock_guard guard(lock_);
    return paths_;
}

bool OwnFiles::IsOwnName(std::string_view directory, std::string_view name) const {
    const std::optional<FileIdentity> target =
        IdentityOf(directory.empty() ? std::string_view(".") : directory);
    if (!target) {
        return false;  // nothing can be created there either
    }
    for (const std::string& own : Snapshot()) {
        if (NameOf(own) == name && IdentityOf(DirectoryOf(own)) == target) {
            return true;
        }
    }
    return false;
}

bool OwnFiles::IsOwnFile(const File& file) const {
    const std::optional<FileIdentity> target = file.Identity();
    if (!target) {
        return true;  // cannot tell: treat it as taken
    }
    for (const std::string& own : Snapshot()) {
        if (IdentityOf(own) == target) {
            return true;
        }
    }
    return false;
}

}  // namespace tessel
