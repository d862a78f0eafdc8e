// SPDX-License-Identifier: MIT

#include "session/ClientSession.h"

namespace tessel {

ClientSession::ClientSession(DisplayQueue& display, FrontEnd& frontEnd, Options options)
    : connection_(std::make_unique<CConnectOnThread>(display, frontEnd, options.silence,
                                                     options.reconnectDelays)) {
    CClientSocket& socket = connection_->socket();
    if (options.ownFiles != nullptr && options.settings != nullptr) {
        options.ownFiles->Add(options.settings->ProfilePath());
    }
    dispatcher_ = std::make_unique<Dispatcher>(Dispatcher::Services{
        display, frontEnd, users_, options.settings, options.sound,
        [&socket](std::string_view bytes) { return socket.Send(bytes) == SendResult::Sent; },
        std::move(options.refreshAutoLog), options.ownFiles,
        [&socket](bool accepted) { socket.reconnector().HandleAnswered(accepted); }});
    outgoing_ = std::make_unique<OutgoingRequests>(socket, display, frontEnd);
    connection_->Start(*dispatcher_, *outgoing_);
}

ClientSession::~ClientSession() {
    // The thread goes first: it still uses the dispatcher and the senders until it stops.
    connection_.reset();
}

}  // namespace tessel
