// SPDX-License-Identifier: MIT

#pragma once

#include <string>

namespace tessel {

// Where a file send stands: the name it goes under (Shift-JIS), the pieces handed to the
// connection so far of all of them, and how it ended.
struct FileSendProgress {
    enum class State { Sending, Sent, Stopped };
    std::string name;
    int sent = 0;
    int total = 0;
    State state = State::Sending;
};

// The only way the core reaches a front end: one call per event that the window program
// posted to its windows. Every call may come from any thread and must return at once; the
// front end carries the event over to its own thread (the GUI with queued calls, the terminal
// front end with its loop, tests with a recorder).
class FrontEnd {
  public:
    virtual ~FrontEnd() = default;

    // Display items are waiting in the display queue.
    virtual void DisplayTextPosted() = 0;
    // The connection to the host is up: time to register the handle and enter the channel.
    virtual void HostConnected() = 0;
    // The user table changed and the user list should be drawn again.
    virtual void UserListRefresh() = 0;
    // The connection is gone: the user list should be emptied.
    virtual void UserListClear() = 0;
    // The handle or channel changed and the window title should be drawn again.
    virtual void TitleRefresh() = 0;
    // The user asked the program to end.
    virtual void Quit() = 0;
    // A connect attempt has settled: connected (after HostConnected), failed, or abandoned by
    // a disconnect. Its lines are in the display queue by then.
    virtual void ConnectAttemptEnded() {}
    // The connection's phase (idle, connecting, pending, connected) changed: commands that
    // depend on it are enabled again from it.
    virtual void ConnectionPhaseChanged() {}
    // A file send moved on by a piece or ended.
    virtual void FileSendChanged(const FileSendProgress& /*progress*/) {}
};

}  // namespace tessel
