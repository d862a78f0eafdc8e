// SPDX-License-Identifier: MIT

#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "connection/ClientSocket.h"
#include "display/DisplayQueue.h"
#include "platform/FrontEnd.h"
#include "platform/OwnFiles.h"
#include "platform/SoundPlayer.h"
#include "session/SessionState.h"
#include "settings/Settings.h"

namespace tessel {

// Line n (from 1) of a text, with its line feed ("\r\n" folded to "\n"); empty when the line
// does not exist or has no line feed after it.
std::string GetLine(std::string_view text, int n);

// The announcements a PUTUSER causes, comparing the old table with the new one from the view
// of the own handle and channel; empty when there is nothing to say.
std::string UserTableNotices(const UserTable::Rows& before, const UserTable::Rows& after,
                             std::string_view ownHandle, std::string_view ownChannel);

// The table a PUTUSER body describes.
UserTable::Rows ParseUserTable(std::string_view body);

// Acts on every message the server sends: session state first (client number, handle and
// channel, user table), then the lines to show, which leave only through the display queue.
class Dispatcher : public MessageHandler {
  public:
    struct Services {
        DisplayQueue& display;
        FrontEnd& frontEnd;
        UserTable& users;
        const Settings* settings = nullptr;  // accept flags and directories; none: refuse all
        SoundPlayer* sound = nullptr;
        std::function<bool(std::string_view)> send;  // answers probes
        std::function<void()> refreshAutoLog;        // the log name may carry handle and channel
        const OwnFiles* ownFiles = nullptr;          // never replaced by a received file
        // The server answered a handle's registration: accepted or refused as taken.
        std::function<void(bool accepted)> handleAnswered = {};
    };

    explicit Dispatcher(Services services) : services_(std::move(services)) {}

    void OnMessage(ProtocolMessage& message) override;

  private:
    void AnswerProbe(ProtocolMessage& message);
    void OnResponse(const ProtocolMessage& message);
    void OnShow(const ProtocolMessage& message);
    void OnShowMesg(ProtocolMessage& message);
    void OnPutUser(const ProtocolMessage& message);
    void OnPutChannel(ProtocolMessage& message);
    void Acknowledged();
    void ShowSystem(std::string text);

    Services services_;
};

}  // namespace tessel
