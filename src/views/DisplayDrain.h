#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/SoundPlayer.h"
#include "views/ConversationLog.h"
#include "views/DisplayLine.h"
#include "views/DisplayQueue.h"
#include "views/Notification.h"

namespace tessel {

// Where the display pane's text goes: one coloured run at a time, Shift-JIS bytes.
class DisplaySink {
  public:
    virtual ~DisplaySink() = default;
    virtual void AppendRun(ColourMarker slot, std::string_view text) = 0;
};

// What a front end does when display items are waiting: for each item, the notification
// check for a chat line, the line with its colours appended to the pane, and the line without
// markers appended to the log. A log that fails is reported once in the pane.
class DisplayDrain {
  public:
    struct Services {
        DisplayQueue& queue;
        ConversationLog* log = nullptr;
        SoundPlayer* sound = nullptr;
        std::function<NotifySettings()> notifySettings;
        std::function<std::string()> ownHandle;
    };

    explicit DisplayDrain(Services services) : services_(std::move(services)) {}

    // Drains the queue until it is empty; returns the number of items shown.
    int Drain(DisplaySink& sink);

  private:
    void Show(DisplaySink& sink, std::string_view line);

    Services services_;
    ColourRunSplitter splitter_;
};

}  // namespace tessel
