// SPDX-License-Identifier: MIT

#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/ConnectOnThread.h"
#include "display/DisplayQueue.h"
#include "settings/Settings.h"
#include "support/FrontEndRecorder.h"
#include "support/TempDirectory.h"

namespace tessel::test {

// A settings file of its own in a fresh directory.
struct TempSettings {
    TempDirectory dir;
    Settings settings = *Settings::Open(dir.path());
};

// The command texts that reach the connection thread through the mailbox, in order.
class RecordingRequests : public RequestHandler, public MessageHandler {
  public:
    void SendCommand(std::string_view text) override {
        std::lock_guard guard(lock_);
        commands_.emplace_back(text);
    }
    std::vector<std::string> Commands() const {
        std::lock_guard guard(lock_);
        return commands_;
    }
    void SendOpen(std::string_view) override {}
    void SendJoin(std::string_view) override {}
    void SendData(std::string_view) override {}
    void OnMessage(ProtocolMessage&) override {}

  private:
    mutable std::mutex lock_;
    std::vector<std::string> commands_;
};

// A running connection thread, never connected, recording the commands handed to it.
struct RecordingConnection {
    explicit RecordingConnection(const Settings&) : thread(display, frontEnd) {
        thread.Start(requests, requests);
    }
    FrontEndRecorder frontEnd;
    DisplayQueue display{frontEnd};
    RecordingRequests requests;
    CConnectOnThread thread;
};

}  // namespace tessel::test
