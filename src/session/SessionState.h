// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "protocol/FixedText.h"
#include "protocol/ProtocolState.h"

namespace tessel {

// True while the user has asked for open dice, false after asking for secret dice.
bool OpenDice();
void SetOpenDice(bool value);

struct UserEntry {
    FixedText<kNameFieldSize> handle;  // empty: an unused row
    FixedText<kNameFieldSize> channel;
    FixedText<kNameFieldSize> address;  // who a user is across updates
    std::uint8_t attribute = 0;         // 1 master, 0 player

    friend bool operator==(const UserEntry& a, const UserEntry& b) {
        return a.handle.view() == b.handle.view() && a.channel.view() == b.channel.view() &&
               a.address.view() == b.address.view() && a.attribute == b.attribute;
    }
};

// The users of the last PUTUSER: written only by the dispatcher, read by the user list and
// the destination lists of the dialogs. Readers take a copy under the lock.
class UserTable {
  public:
    static constexpr std::size_t kRows = 32;
    using Rows = std::array<UserEntry, kRows>;

    Rows Snapshot() const {
        std::lock_guard guard(UserTableLock);
        return rows_;
    }

    void Replace(const Rows& rows) {
        std::lock_guard guard(UserTableLock);
        rows_ = rows;
    }

  private:
    mutable std::mutex UserTableLock;
    Rows rows_{};
};

}  // namespace tessel
