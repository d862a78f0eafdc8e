// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "relay/RelayLimits.h"

#include <map>

namespace tessel::relay {

// What the relay knows of one connected client. Texts are kept in the wire encoding
// (EUC-JP) exactly as the client sent them.
struct ClientRecord {
    std::string handle;   // empty until an OPEN is accepted
    std::string channel;  // empty until a JOIN is accepted
    std::string address;  // word 1 of the last accepted OPEN
    bool master = false;
    bool secretDice = false;

    bool registered() const { return !handle.empty(); }
};

// Lays out a PUTUSER body line by line: at most 32 lines within 4096 bytes, then
// "No entry".
class UserListBuilder {
  public:
    // False when the line did not fit: the list is full.
    bool Add(std::string_view handle, std::string_view channel, std::string_view address,
             bool master);
    std::string Finish();

  private:
    std::string body_;
    std::size_t lines_ = 0;
};

// The connected clients by number, in the order they connected.
class UserDirectory {
  public:
    explicit UserDirectory(int maxClients);

    // The lowest free number from 1 to 999; nothing when maxClients are connected already.
    std::optional<int> Admit();
    void Release(int number);

    bool active(int number) const;
    ClientRecord& at(int number);
    const ClientRecord& at(int number) const;

    // Numbers of all connected clients, oldest connection first.
    const std::vector<int>& connected() const { return order_; }
    int count() const { return static_cast<int>(order_.size()); }

    // The client registered with exactly this handle.
    std::optional<int> FindHandle(std::string_view handle) const;

    // Members of a channel, oldest connection first.
    std::vector<int> Members(std::string_view channel) const;

    // The PUTUSER body: one line "handle channel address attribute" per registered client
    // (channel "NoJoin" before any JOIN), at most 32 lines, then "No entry". Lines that
    // would take the body past 4096 bytes are left out.
    std::string UserListBody() const;

    // The PUTCHANNEL body: one line "channel members" per channel, by channel name, within
    // 4096 bytes; `elsewhere` adds members connected to other relays.
    std::string ChannelListBody(
        const std::map<std::string, int, std::less<>>& elsewhere = {}) const;

  private:
    int maxClients_;
    std::array<bool, kMaxClientNumber + 1> used_{};
    std::array<ClientRecord, kMaxClientNumber + 1> records_{};
    std::vector<int> order_;
};

}  // namespace tessel::relay
