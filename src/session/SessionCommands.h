// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "connection/ConnectOnThread.h"
#include "settings/Settings.h"

namespace tessel {

// What the connect dialog asked for, kept until the connection is up, and the key file's
// command waiting for it.
struct PendingConnection {
    std::string ConnectHost;  // the host and port the last connect asked for
    std::int32_t ConnectPort = 0;
    std::string ConnectHandle;
    std::string ConnectChannel;
    std::string DeferredExec;
};

// The connect dialog's OK: starts the connect and keeps the handle and channel for the moment
// the connection is up. A channel without a handle is dropped; an empty field never replaces
// a kept value.
void AcceptConnect(PendingConnection& pending, CConnectOnThread& connection, std::string_view host,
                   std::int32_t port, std::string_view handle, std::string_view channel);

// The connection is up: remember the host and port it reached in the settings, register the
// handle, enter the channel, run the deferred command, in this order, each through the
// mailbox, and remember handle and channel in the settings. (A connect that fails never comes
// here, so it leaves the stored host and port as they were.)
void OnHostConnected(PendingConnection& pending, CConnectOnThread& connection, Settings* settings);

}  // namespace tessel
