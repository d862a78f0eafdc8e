#pragma once

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
    Quit
};

// The terminal front end's side of the core's events: they are queued from any thread and
// a descriptor becomes readable, so the terminal loop can wait for them and for standard input
// in one poll.
class TermFrontEnd : public FrontEnd {
  public:
    TermFrontEnd();
    ~TermFrontEnd() override;
    TermFrontEnd(const TermFrontEnd&) = delete;
    TermFrontEnd& operator=(const TermFrontEnd&) = delete;

    void DisplayTextPosted() override { Post(TermEvent::DisplayText); }
    void HostConnected() override { Post(TermEvent::HostConnected); }
    void UserListRefresh() override { Post(TermEvent::UserListRefresh); }
    void UserListClear() override { Post(TermEvent::UserListClear); }
    void TitleRefresh() override { Post(TermEvent::TitleRefresh); }
    void Quit() override { Post(TermEvent::Quit); }

    // Readable while events wait.
    int fd() const { return fd_; }
    std::optional<TermEvent> Take();

  private:
    void Post(TermEvent event);

    int fd_;
    std::mutex lock_;
    std::deque<TermEvent> events_;
};

}  // namespace tessel
