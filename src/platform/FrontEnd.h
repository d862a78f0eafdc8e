#pragma once

namespace tessel {

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
};

}  // namespace tessel
