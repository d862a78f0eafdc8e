// SPDX-License-Identifier: MIT

#include "session/SessionCommands.h"

namespace tessel {

void AcceptConnect(PendingConnection& pending, CConnectOnThread& connection, std::string_view host,
                   std::int32_t port, std::string_view handle, std::string_view channel) {
    ConnectRequest request;
    request.host.assign(host);
    request.port = port;
    connection.PostConnect(request);
    pending.ConnectHost = host;
    pending.ConnectPort = port;
    if (!handle.empty()) {
        pending.ConnectHandle = handle;
        if (!channel.empty()) {
            pending.ConnectChannel = channel;
        }
    }
}

void OnHostConnected(PendingConnection& pending, CConnectOnThread& connection, Settings* settings) {
    if (settings != nullptr) {
        settings->SetString(SettingKey::ipaddr, pending.ConnectHost);
        settings->SetInt(SettingKey::port, pending.ConnectPort);
    }
    if (!pending.ConnectHandle.empty()) {
        connection.PostText(ThreadMessage::Open, pending.ConnectHandle);
        if (settings != nullptr) {
            settings->SetString(SettingKey::name, pending.ConnectHandle);
        }
        pending.ConnectHandle.clear();
    }
    if (!pending.ConnectChannel.empty()) {
        connection.PostText(ThreadMessage::Join, pending.ConnectChannel);
        if (settings != nullptr) {
            settings->SetString(SettingKey::channel, pending.ConnectChannel);
        }
        pending.ConnectChannel.clear();
    }
    if (!pending.DeferredExec.empty()) {
        connection.PostText(ThreadMessage::Command, pending.DeferredExec);
        pending.DeferredExec.clear();
    }
}

}  // namespace tessel
