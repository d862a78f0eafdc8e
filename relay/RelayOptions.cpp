// SPDX-License-Identifier: MIT

#include "relay/RelayOptions.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "relay/GroupWire.h"
#include "version/Version.h"

namespace tessel::relay {
namespace {

// Probe times are given in seconds, fractions allowed; a day is far beyond any sensible use
// and keeps the arithmetic on time points safe.
constexpr double kMaxSeconds = 86'400.0;

template <typename Number>
bool ParseWhole(std::string_view text, Number& out) {
    if (text.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && end == text.data() + text.size();
}

bool ParseSeconds(std::string_view text, std::chrono::milliseconds& out) {
    double seconds = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() ||
        !std::isfinite(seconds) || seconds <= 0 || seconds > kMaxSeconds) {
        return false;
    }
    out = std::chrono::milliseconds(std::max<long long>(1, std::llround(seconds * 1000)));
    return true;
}

bool ParseListen(std::string_view text, RelayConfig& config) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string address(text.substr(0, colon));
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        return false;
    }
    std::uint16_t port = 0;
    if (!ParseWhole(text.substr(colon + 1), port)) {
        return false;
    }
    config.address = address;
    config.port = port;
    return true;
}

bool ParseRedis(std::string_view text, RelayConfig& config) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) {
        return false;
    }
    std::uint16_t port = 0;
    if (!ParseWhole(text.substr(colon + 1), port) || port == 0) {
        return false;
    }
    config.redisHost = std::string(text.substr(0, colon));
    config.redisPort = port;
    return true;
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string_view>& args) {
    RelayConfig config;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> inlineValue;
        if (const std::size_t eq = name.find('='); name.starts_with("--") && eq != name.npos) {
            inlineValue = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        if (name == "--help" || name == "-h") {
            return ShowHelp{};
        }
        if (name == "--version") {
            return ShowVersion{};
        }
        if (name == "--crlf") {
            if (inlineValue) {
                return OptionsError{"--crlf takes no value"};
            }
            config.crlf = true;
            continue;
        }
        const bool takesValue = name == "--listen" || name == "--seed" ||
                                name == "--probe-interval" || name == "--probe-timeout" ||
                                name == "--max-clients" || name == "--redis" ||
                                name == "--relay-name" || name == "--group-expiry";
        if (!takesValue) {
            return OptionsError{"unknown option '" + std::string(name) + "'"};
        }
        std::string_view value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return OptionsError{std::string(name) + " needs a value"};
        }
        const std::string bad =
            "invalid value '" + std::string(value) + "' for " + std::string(name);
        if (name == "--listen") {
            if (!ParseListen(value, config)) {
                return OptionsError{bad + " (expected IPv4-ADDRESS:PORT)"};
            }
        } else if (name == "--seed") {
            std::uint64_t seed = 0;
            if (!ParseWhole(value, seed)) {
                return OptionsError{bad + " (expected a whole number)"};
            }
            config.seed = seed;
        } else if (name == "--probe-interval") {
            if (!ParseSeconds(value, config.probeInterval)) {
                return OptionsError{bad + " (expected seconds, more than 0)"};
            }
        } else if (name == "--probe-timeout") {
            if (!ParseSeconds(value, config.probeTimeout)) {
                return OptionsError{bad + " (expected seconds, more than 0)"};
            }
        } else if (name == "--redis") {
            if (!ParseRedis(value, config)) {
                return OptionsError{bad + " (expected HOST:PORT)"};
            }
        } else if (name == "--relay-name") {
            if (!ValidRelayName(value)) {
                return OptionsError{bad + " (expected 1 to 40 of A-Z a-z 0-9 . _ -)"};
            }
            config.relayName = std::string(value);
        } else if (name == "--group-expiry") {
            // Not in the usage text: short expiries are for tests, where a dead relay
            // should leave the group in a second or two.
            if (!ParseSeconds(value, config.groupExpiry) ||
                config.groupExpiry < std::chrono::milliseconds(300)) {
                return OptionsError{bad + " (expected seconds, at least 0.3)"};
            }
        } else {
            int clients = 0;
            if (!ParseWhole(value, clients) || clients < 1 || clients > kMaxClientNumber) {
                return OptionsError{bad + " (expected 1 to 999)"};
            }
            config.maxClients = clients;
        }
    }
    if (!config.relayName.empty() && !config.redisHost) {
        return OptionsError{"--relay-name needs --redis"};
    }
    return config;
}

std::string UsageText() {
    return "usage: tessel-relay [--listen ADDR:PORT] [--seed N] [--probe-interval S]\n"
           "                    [--probe-timeout S] [--max-clients N] [--crlf]\n"
           "                    [--redis HOST:PORT [--relay-name NAME]] [--help] [--version]\n"
           "\n"
           "A relay server for the TesseraRELAY protocol.\n"
           "\n"
           "  --listen ADDR:PORT   IPv4 address and port to listen on (default 127.0.0.1:3962;\n"
           "                       port 0 picks a free port, which is logged)\n"
           "  --seed N             roll dice from a fixed seed (repeatable); without it dice\n"
           "                       come from the system's random source\n"
           "  --probe-interval S   seconds between keep-alive probes (default 60)\n"
           "  --probe-timeout S    seconds a client has to answer a probe (default 30)\n"
           "  --max-clients N      clients served at once, 1 to 999 (default 256)\n"
           "  --crlf               end header lines in CR LF instead of LF\n"
           "  --redis HOST:PORT    join the group of relays that share this Redis: one\n"
           "                       server to the clients, handles unique across it\n"
           "  --relay-name NAME    this relay's name in the group (default: host name and\n"
           "                       process ID); 1 to 40 of A-Z a-z 0-9 . _ -\n"
           "  --help               show this text\n"
           "  --version            show the version\n"
           "\n"
           "Stops cleanly on SIGINT or SIGTERM. Logs connection events and refused requests\n"
           "to standard error.\n";
}

std::string VersionText() {
    return "tessel-relay " + std::string(kVersion) + "\n";
}

}  // namespace tessel::relay
