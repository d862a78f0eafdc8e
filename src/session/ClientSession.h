// SPDX-License-Identifier: MIT

#pragma once

#include <functional>
#include <memory>

#include "connection/ConnectOnThread.h"
#include "session/Dispatcher.h"
#include "session/OutgoingRequests.h"
#include "session/SessionState.h"

namespace tessel {

// The client core a front end drives: the connection thread with its socket, the dispatch of
// what arrives and the senders of what goes out, wired together. The front end posts requests
// through connection() and draws what arrives in the display queue.
class ClientSession {
  public:
    struct Options {
        const Settings* settings = nullptr;
        SoundPlayer* sound = nullptr;
        // The program's own files, which received files must never replace; the settings
        // file is added to it here.
        OwnFiles* ownFiles = nullptr;
        std::function<void()> refreshAutoLog;
        MessageReader::Clock::duration silence = MessageReader::kSilence;
        ReconnectDelays reconnectDelays;
    };

    ClientSession(DisplayQueue& display, FrontEnd& frontEnd, Options options);
    ~ClientSession();

    CConnectOnThread& connection() { return *connection_; }
    UserTable& users() { return users_; }

  private:
    UserTable users_;
    std::unique_ptr<CConnectOnThread> connection_;
    std::unique_ptr<Dispatcher> dispatcher_;
    std::unique_ptr<OutgoingRequests> outgoing_;
};

}  // namespace tessel
