// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/ChildProcess.h"

namespace tessel::relay::test {

// The built tessel-relay as a child process.
class RelayProcess : public tessel::test::ChildProcess {
  public:
    explicit RelayProcess(const std::vector<std::string>& args) : ChildProcess(WithBinary(args)) {}

    std::optional<int> WaitExit(std::chrono::milliseconds timeout) { return Wait(timeout); }
    std::string out() { return output(); }
    std::string err() { return error(); }

    // The port from the relay's "listening on ADDR:PORT" line.
    std::optional<std::uint16_t> Port(std::chrono::milliseconds timeout) {
        constexpr std::string_view kListening = "listening on 127.0.0.1:";
        if (!WaitForError(kListening, timeout)) {
            return std::nullopt;
        }
        const std::string log = err();
        const std::size_t at = log.find(kListening) + kListening.size();
        return static_cast<std::uint16_t>(std::stoul(log.substr(at)));
    }

  private:
    static std::vector<std::string> WithBinary(const std::vector<std::string>& args) {
        std::vector<std::string> argv = {TESSEL_RELAY_BINARY};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
};

}  // namespace tessel::relay::test
