// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "relay/RelayLimits.h"

namespace tessel::relay {

// How one relay runs. The defaults are those of the command line without options.
struct RelayConfig {
    std::string address = "127.0.0.1";  // IPv4, dotted
    std::uint16_t port = kDefaultPort;  // 0 picks a free port
    std::optional<std::uint64_t> seed;  // fixed dice for tests and demos
    std::chrono::milliseconds probeInterval = kDefaultProbeInterval;
    std::chrono::milliseconds probeTimeout = kDefaultProbeTimeout;
    int maxClients = kDefaultMaxClients;
    bool crlf = false;  // header lines end in "\r\n" instead of "\n"
    // A group of relays sharing one Redis: its address, this relay's name in the group and
    // how long the group keeps a registration its relay no longer refreshes.
    std::optional<std::string> redisHost;
    std::uint16_t redisPort = 0;
    std::string relayName;  // empty: made from the host name and process ID at start
    std::chrono::milliseconds groupExpiry = kDefaultGroupExpiry;
};

struct ShowHelp {};
struct ShowVersion {};
struct OptionsError {
    std::string message;
};

using ParsedOptions = std::variant<RelayConfig, ShowHelp, ShowVersion, OptionsError>;

// Reads the command line (program name excluded). Options take their value as the next
// argument or after "=".
ParsedOptions ParseOptions(const std::vector<std::string_view>& args);

std::string UsageText();

// "tessel-relay VERSION" and a line end.
std::string VersionText();

}  // namespace tessel::relay
