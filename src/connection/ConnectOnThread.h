// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string_view>
#include <thread>

#include "connection/ClientSocket.h"
#include "connection/RequestMailbox.h"

namespace tessel {

// The request senders the connection thread runs for the mailbox messages.
class RequestHandler {
  public:
    virtual ~RequestHandler() = default;
    virtual void SendOpen(std::string_view handle) = 0;
    virtual void SendJoin(std::string_view channel) = 0;
    virtual void SendCommand(std::string_view text) = 0;
    virtual void SendData(std::string_view block) = 0;
};

// The connection thread: it owns the socket, and runs every socket event and every request
// handed over through the mailbox, one at a time, in arrival order. The front end's thread
// only posts; it never touches the network.
class CConnectOnThread {
  public:
    CConnectOnThread(DisplayQueue& display, FrontEnd& frontEnd,
                     MessageReader::Clock::duration silence = MessageReader::kSilence,
                     ReconnectDelays reconnectDelays = {});
    // Stops the thread before anything goes; the socket then says CLOSE on its way out.
    ~CConnectOnThread();
    CConnectOnThread(const CConnectOnThread&) = delete;
    CConnectOnThread& operator=(const CConnectOnThread&) = delete;

    // The socket, for wiring the session's handlers before Start.
    CClientSocket& socket() { return *socket_; }

    // Starts the thread; both handlers must outlive it.
    void Start(MessageHandler& received, RequestHandler& requests);

    // Front end's side: hand a request over. PostText waits for the mailbox slot without
    // limit, or at most `wait` (false when it gave up).
    bool PostText(ThreadMessage message, std::string_view text,
                  std::optional<std::chrono::milliseconds> wait = std::nullopt) {
        return mailbox_.PostText(message, text, wait);
    }
    void PostData(ThreadMessage message, std::string_view block) {
        mailbox_.PostData(message, block);
    }
    void PostConnect(const ConnectRequest& request) { mailbox_.PostConnect(request); }
    void PostDisconnect() { mailbox_.PostDisconnect(); }

  private:
    void Run();
    void Wake();
    bool HandleMessages();

    DisplayQueue& display_;
    int wakeFd_ = -1;
    RequestMailbox mailbox_;
    std::unique_ptr<CClientSocket> socket_;
    RequestHandler* requests_ = nullptr;
    std::thread thread_;
};

}  // namespace tessel
