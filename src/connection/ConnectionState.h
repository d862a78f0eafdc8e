// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "protocol/FixedText.h"
#include "protocol/ProtocolState.h"

namespace tessel {

// Where the user asked to connect to.
struct ConnectRequest {
    FixedText<kLineFieldSize> host;
    std::int32_t port = 0;
};

// Where the client's one connection stands: process-wide, written by the connection thread
// and read by the front end to enable its commands.
enum class ConnectionPhase : std::int32_t {
    Idle,        // no connection and no attempt
    Connecting,  // the connect call itself runs
    Pending,     // the attempt waits for its completion
    Connected,
};
ConnectionPhase CurrentConnectionPhase();
void SetConnectionPhase(ConnectionPhase phase);

// The three connection flags the commands are enabled from, as views of the one phase.
// From a completed connect until a disconnect, a close or a failed completion.
inline bool IsConnected() {
    return CurrentConnectionPhase() == ConnectionPhase::Connected;
}
// From the start of a connect attempt until it completes or the connection is closed.
inline bool ConnectPending() {
    const ConnectionPhase phase = CurrentConnectionPhase();
    return phase == ConnectionPhase::Connecting || phase == ConnectionPhase::Pending;
}
// Only while the connect call itself runs.
inline bool IsConnecting() {
    return CurrentConnectionPhase() == ConnectionPhase::Connecting;
}

// The handle and channel the server has acknowledged (Shift-JIS, at most 63 bytes); empty
// after every disconnect and close.
std::string CurrentHandle();
void SetCurrentHandle(std::string_view handle);
std::string CurrentChannel();
void SetCurrentChannel(std::string_view channel);

// Back to the start-up state (tests, and a fresh session).
void ResetConnectionState();

}  // namespace tessel
