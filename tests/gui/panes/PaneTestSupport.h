#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/ConnectOnThread.h"
#include "frame/Settings.h"
#include "support/FrontEndRecorder.h"
#include "support/TempDirectory.h"
#include "views/DisplayQueue.h"

namespace tessel::test {

// A settings file of its own in a fresh directory.
struct TempSettings {
    TempDirectory dir;
    Settings settings = *Settings::Open(dir.path());
};

// What reaches the connection thread through the mailbox, in order.
class RecordingRequests : public RequestHandler {
  public:
    void SendOpen(std::string_view handle) override { Add("OPEN " + std::string(handle)); }
    void SendJoin(std::string_view channel) override { Add("JOIN " + std::string(channel)); }
    void SendCommand(std::string_view text) override { Add(std::string(text)); }
    void SendData(std::string_view) override {}

    std::vector<std::string> Commands() const {
        std::lock_guard guard(lock_);
        return commands_;
    }

  private:
    void Add(std::string text) {
        std::lock_guard guard(lock_);
        commands_.push_back(std::move(text));
    }
    mutable std::mutex lock_;
    std::vector<std::string> commands_;
};

class IgnoreMessages : public MessageHandler {
  public:
    void OnMessage(ProtocolMessage&) override {}
};

// A running connection thread, never connected, recording the commands handed to it.
struct RecordingConnection {
    explicit RecordingConnection(const Settings& settings) : thread(display, frontEnd, &settings) {
        thread.Start(messages, requests);
    }
    FrontEndRecorder frontEnd;
    DisplayQueue display{frontEnd};
    IgnoreMessages messages;
    RecordingRequests requests;
    CConnectOnThread thread;
};

}  // namespace tessel::test
