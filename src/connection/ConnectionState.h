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

// Process-wide connection state, written by the connection thread and read by the front end
// to enable its commands. Each flag is 0 or 1.

// 1 from a completed connect until a disconnect, a close or a failed completion.
int IsConnected();
void SetIsConnected(int value);
// 1 from the start of a connect attempt until it completes or the connection is closed.
int ConnectPending();
void SetConnectPending(int value);
// 1 only while the connect call itself runs.
int IsConnecting();
void SetIsConnecting(int value);

// The handle and channel the server has acknowledged (Shift-JIS, at most 63 bytes); empty
// after every disconnect and close.
std::string CurrentHandle();
void SetCurrentHandle(std::string_view handle);
std::string CurrentChannel();
void SetCurrentChannel(std::string_view channel);

// Back to the start-up state (tests, and a fresh session).
void ResetConnectionState();

}  // namespace tessel
