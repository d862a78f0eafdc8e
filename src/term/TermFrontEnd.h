// SPDX-License-Identifier: MIT

#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <optional>

#include "platform/FrontEnd.h"

namespace tessel {

enum class TermEvent {
    DisplayText,
    HostConnected,
    UserListRefresh,
    UserListClear,
    TitleRefresh,
    Quit,
    ConnectAttemptEnded
};

// The terminal front end's side of the core's events: they are queued from any thread and
// a descriptor becomes readable, so the terminal loop can wait for them and for standard input
// in one poll.
//
// The descriptor is written only when the first event of a batch arrives: while events wait,
// the loop is already due to take them, and a flood of display items costs no system call per
// item.
class TermFrontEnd : public FrontEnd {
  public:
    TermFrontEnd();
    ~TermFrontEnd() override;
    TermFrontEnd(const TermFrontEnd&) = delete;
    TermFrontEnd& operator=(const TermFrontEnd&) = delete;

    void DisplayTextPosted() override {
        // While a display event waits, later items are drained with it: nothing to post.
        if (!displayPending_.exchange(true)) {
            Post(TermEvent::DisplayText);
        }
    }
    void HostConnected() override { Post(TermEvent::HostConnected); }
    void UserListRefresh() override { Post(TermEvent::UserListRefresh); }
    void UserListClear() override { Post(TermEvent::UserListClear); }
    void TitleRefresh() override { Post(TermEvent::TitleRefresh); }
    void Quit() override { Post(TermEvent::Quit); }
    void ConnectAttemptEnded() override { Post(TermEvent::ConnectAttemptEnded); }

    // Readable while events wait.
    int fd() const { return fd_; }
    // Every waiting event, in order; the descriptor is quiet again until the next one.
    std::deque<TermEvent> TakeAll();

  private:
    void Post(TermEvent event);

    int fd_;
    std::mutex lock_;
    std::deque<TermEvent> events_;
    std::atomic<bool> displayPending_{false};
};

}  // namespace tessel
