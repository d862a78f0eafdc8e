// SPDX-License-Identifier: MIT

#include "relay/GroupDirectory.h"

#include <utility>

namespace tessel::relay {

bool GroupDirectory::Replace(const std::string& relay, std::vector<GroupUser> users) {
    auto found = relays_.find(relay);
    if (found == relays_.end()) {
        if (users.empty()) {
            return false;
        }
        relays_.emplace(relay, std::move(users));
        return true;
    }
    if (found->second == users) {
        return false;
    }
    if (users.empty()) {
        relays_.erase(found);
    } else {
        found->second = std::move(users);
    }
    return true;
}

bool GroupDirectory::Remove(std::string_view relay) {
    const auto found = relays_.find(relay);
    if (found == relays_.end()) {
        return false;
    }
    relays_.erase(found);
    return true;
}

std::string GroupDirectory::FindHandle(std::string_view handle) const {
    for (const auto& [relay, users] : relays_) {
        for (const GroupUser& u : users) {
            if (u.handle == handle) {
                return relay;
            }
        }
    }
    return {};
}

std::map<std::string, int, std::less<>> GroupDirectory::ChannelCounts() const {
    std::map<std::string, int, std::less<>> counts;
    for (const auto& [relay, users] : relays_) {
        for (const GroupUser& u : users) {
            if (!u.channel.empty()) {
                ++counts[u.channel];
            }
        }
    }
    return counts;
}

}  // namespace tessel::relay
