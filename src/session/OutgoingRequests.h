// SPDX-License-Identifier: MIT

#pragma once

#include <string_view>

#include "connection/ClientSocket.h"
#include "connection/ConnectOnThread.h"
#include "display/DisplayQueue.h"
#include "platform/FrontEnd.h"

namespace tessel {

// Puts the requests handed over through the mailbox on the wire, on the connection thread,
// and echoes what the user asked for (dice mode, fake rolls) without waiting for the server.
class OutgoingRequests : public RequestHandler {
  public:
    OutgoingRequests(CClientSocket& socket, DisplayQueue& display, FrontEnd& frontEnd)
        : socket_(socket), display_(display), frontEnd_(frontEnd) {}

    void SendOpen(std::string_view handle) override;
    void SendJoin(std::string_view channel) override;
    void SendCommand(std::string_view text) override;
    // `block` is a command line, a line feed and the raw body bytes.
    void SendData(std::string_view block) override;

    void HandleLocalCommand(std::string_view commandLine);

  private:
    void Send(std::string_view request);
    void SendSimple(std::string_view commandText);
    void Echo(std::string_view text);

    CClientSocket& socket_;
    DisplayQueue& display_;
    FrontEnd& frontEnd_;
};

}  // namespace tessel
