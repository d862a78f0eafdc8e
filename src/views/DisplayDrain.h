// SPDX-License-Identifier: MIT

#pragma once

#include <functional>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "display/DisplayQueue.h"
#include "platform/SoundPlayer.h"
#include "views/ConversationLog.h"
#include "views/DisplayLine.h"
#include "views/Notification.h"
#include "views/SessionRecord.h"

namespace tessel {

// Where the display pane's text goes: one coloured run at a time, Shift-JIS bytes.
class DisplaySink {
  public:
    virtual ~DisplaySink() = default;
    virtual void AppendRun(ColourMarker slot, std::string_view text) = 0;
};

// What a front end does when display items are waiting: for each item, the own-roll record
// for a roll of the player's, the notification check for a chat line, the line with its colours
// appended to the pane, and the line without markers appended to the log. A log that fails is
// reported once in the pane.
class DisplayDrain {
  public:
    struct Services {
        DisplayQueue& queue;
        ConversationLog* log = nullptr;
        SoundPlayer* sound = nullptr;
        std::function<NotifySettings()> notifySettings;
        std::function<std::string()> ownHandle;
        // Told of each line that called the user (after its sound), e.g. for a desktop
        // notification.
        std::function<void(const DisplayItem&)> called = nullptr;
        // Keeps every shown line, apart from the pane's trimming; none keeps nothing.
        SessionRecord* record = nullptr;
        // Told of each line the record finishes, after the HTML log beside the text log.
        SessionRecord::LineFinished lineFinished = nullptr;
        // Seconds since the epoch, read once per batch; the system clock when empty.
        std::function<std::int64_t()> clock = nullptr;
    };

    explicit DisplayDrain(Services services)
        : services_(std::move(services)),
          finished_([this](const RecordedLine& line) { LineFinished(line); }) {}
    DisplayDrain(const DisplayDrain&) = delete;
    DisplayDrain& operator=(const DisplayDrain&) = delete;

    // Shows waiting items until the queue is empty or `limit` items are shown; returns how many
    // were shown. A front end that keeps a limit stays responsive while a server floods it and
    // drains the rest on its next turn.
    int Drain(DisplaySink& sink, int limit = std::numeric_limits<int>::max());

  private:
    void Show(DisplaySink& sink, std::string_view line);
    void LineFinished(const RecordedLine& line);
    std::int64_t Now() const;
    // Asked for only where an item needs it: it is shared with the connection thread.
    std::string OwnHandle() const;

    Services services_;
    ColourRunSplitter splitter_;
    std::vector<DisplayItem> batch_;  // taken from the queue, shown from next_ on
    std::size_t next_ = 0;
    std::string line_;  // the line being shown, its room kept from line to line
    std::int64_t now_ = 0;
    bool htmlLogOpen_ = false;
    std::string htmlLogFailed_;  // the HTML log that failed while a line was shown
    SessionRecord::LineFinished finished_;
};

}  // namespace tessel
