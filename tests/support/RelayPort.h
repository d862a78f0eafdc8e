// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "support/ChildProcess.h"

namespace tessel::test {

// The port a tessel-relay started on port 0 says it listens on ("listening on
// 127.0.0.1:PORT" on its standard error); empty when it does not say so in time.
inline std::string ListeningPort(ChildProcess& relay,
                                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    constexpr std::string_view kListening = "listening on 127.0.0.1:";
    if (!relay.WaitForError(kListening, timeout)) {
        return {};
    }
    const std::string log = relay.error();
    const std::size_t at = log.find(kListening) + kListening.size();
    return log.substr(at, log.find_first_not_of("0123456789", at) - at);
}

}  // namespace tessel::test
