// SPDX-License-Identifier: MIT

#include "relay/UserDirectory.h"

#include <algorithm>
#include <map>

namespace tessel::relay {
namespace {

constexpr std::string_view kNoChannel = "NoJoin";
constexpr std::string_view kEndMarker = "No entry\n";

}  // namespace

UserDirectory::UserDirectory(int maxClients)
    : maxClients_(std::clamp(maxClients, 1, kMaxClientNumber)) {
    order_.reserve(static_cast<std::size_t>(maxClients_));
}

std::optional<int> UserDirectory::Admit() {
    if (count() >= maxClients_) {
        return std::nullopt;
    }
    for (int n = 1; n <= kMaxClientNumber; ++n) {
        if (!used_[n]) {
            used_[n] = true;
            records_[n] = ClientRecord{};
            order_.push_back(n);
            return n;
        }
    }
    return std::nullopt;
}

void UserDirectory::Release(int number) {
    if (!active(number)) {
        return;
    }
    used_[number] = false;
    records_[number] = ClientRecord{};
    order_.erase(std::find(order_.begin(), order_.end(), number));
}

bool UserDirectory::active(int number) const {
    return number >= 1 && number <= kMaxClientNumber && used_[number];
}

ClientRecord& UserDirectory::at(int number) {
    return records_.at(number);
}
const ClientRecord& UserDirectory::at(int number) const {
    return records_.at(number);
}

std::optional<int> UserDirectory::FindHandle(std::string_view handle) const {
    for (const int n : order_) {
        if (records_[n].registered() && records_[n].handle == handle) {
            return n;
        }
    }
    return std::nullopt;
}

std::vector<int> UserDirectory::Members(std::string_view channel) const {
    std::vector<int> members;
    if (channel.empty()) {
        return members;
    }
    for (const int n : order_) {
        if (records_[n].channel == channel) {
            members.push_back(n);
        }
    }
    return members;
}

bool UserListBuilder::Add(std::string_view handle, std::string_view channel,
                          std::string_view address, bool master) {
    if (lines_ == kMaxUserLines) {
        return false;
    }
    std::string line(handle);
    line.append(" ").append(channel.empty() ? kNoChannel : channel);
    line.append(" ").append(address).append(master ? " 1\n" : " 0\n");
    if (body_.size() + line.size() + kEndMarker.size() > kMaxBodyBytes) {
        lines_ = kMaxUserLines;
        return false;
    }
    body_ += line;
    ++lines_;
    return true;
}

std::string UserListBuilder::Finish() {
    body_ += kEndMarker;
    return std::move(body_);
}

std::string UserDirectory::UserListBody() const {
    UserListBuilder list;
    for (const int n : order_) {
        const ClientRecord& r = records_[n];
        if (r.registered() && !list.Add(r.handle, r.channel, r.address, r.master)) {
            break;
        }
    }
    return list.Finish();
}

std::string UserDirectory::ChannelListBody(
    const std::map<std::string, int, std::less<>>& elsewhere) const {
    std::map<std::string_view, int> channels;
    for (const auto& [name, members] : elsewhere) {
        channels[name] += members;
    }
    for (const int n : order_) {
        if (!records_[n].channel.empty()) {
            ++channels[records_[n].channel];
        }
    }
    std::string body;
    for (const auto& [name, members] : channels) {
        std::string line(name);
        line.append(" ").append(std::to_string(members)).push_back('\n');
        if (body.size() + line.size() > kMaxBodyBytes) {
            break;
        }
        body += line;
    }
    return body;
}

}  // namespace tessel::relay
