// SPDX-License-Identifier: MIT

#include "platform/DataFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tessel {
namespace {

constexpr std::string_view kFolderName = "tessel";

std::optional<std::string_view> Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string_view>(value) : std::nullopt;
}

bool IsAbsolute(std::optional<std::string_view> path) {
    return path && !path->empty() && path->front() == '/';
}

// "base/name" without doubled separators when base ends in one.
std::string Join(std::string_view base, std::string_view name) {
    while (base.size() > 1 && base.back() == '/') {
        base.remove_suffix(1);
    }
    std::string path(base);
    if (path.back() != '/') {
        path.push_back('/');
    }
    path.append(name);
    return path;
}

}  // namespace

std::optional<std::string> XdgDataFolder(std::optional<std::string_view> xdgDataHome,
                                         std::optional<std::string_view> home) {
    if (IsAbsolute(xdgDataHome)) {
        return Join(*xdgDataHome, kFolderName);
    }
    if (IsAbsolute(home)) {
        return Join(Join(*home, ".local/share"), kFolderName);
    }
    return std::nullopt;
}

std::optional<std::string> XdgDataFolder() {
    return XdgDataFolder(Variable("XDG_DATA_HOME"), Variable("HOME"));
}

bool EnterFolder(const std::string& folder, std::string& why) {
    if (folder.empty()) {
        why = "the folder name is empty";
        return false;
    }
    // Each missing level is made in turn; one that exists already (or is made at the same
    // moment by a second copy of the program) is left as it is.
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string level = folder.substr(0, slash);
        if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) {
            why = "cannot create " + level + ": " + std::strerror(errno);
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    if (::chdir(folder.c_str()) != 0) {
        why = "cannot use " + folder + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace tessel
