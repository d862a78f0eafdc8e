// SPDX-License-Identifier: MIT

#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "relay/GroupWire.h"

namespace tessel::relay {

// The registered users of the other relays of the group, by relay name, as each last told.
class GroupDirectory {
  public:
    // True when the relay's users differ from what was known.
    bool Replace(const std::string& relay, std::vector<GroupUser> users);
    bool Remove(std::string_view relay);
    void Clear() { relays_.clear(); }

    // The relay whose client has this handle; empty when none has.
    std::string FindHandle(std::string_view handle) const;
    // Members per channel over all other relays.
    std::map<std::string, int, std::less<>> ChannelCounts() const;

    const std::map<std::string, std::vector<GroupUser>, std::less<>>& relays() const {
        return relays_;
    }

  private:
    std::map<std::string, std::vector<GroupUser>, std::less<>> relays_;
};

}  // namespace tessel::relay
