// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/FrontEnd.h"

namespace tessel::test {

// Records every front-end event in order, from any thread, and lets a test wait for a
// condition with a timeout instead of sleeping.
class FrontEndRecorder : public FrontEnd {
  public:
    void DisplayTextPosted() override { Record("DisplayTextPosted"); }
    void HostConnected() override { Record("HostConnected"); }
    void UserListRefresh() override { Record("UserListRefresh"); }
    void UserListClear() override { Record("UserListClear"); }
    void TitleRefresh() override { Record("TitleRefresh"); }
    void Quit() override { Record("Quit"); }

    std::vector<std::string> events() const {
        std::lock_guard guard(lock_);
        return events_;
    }

    int count(const std::string& event) const {
        std::lock_guard guard(lock_);
        int n = 0;
        for (const auto& e : events_) {
            n += e == event ? 1 : 0;
        }
        return n;
    }

    // Waits until `done` holds for the recorded events; false on timeout.
    bool waitFor(const std::function<bool(const std::vector<std::string>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        std::unique_lock guard(lock_);
        return changed_.wait_for(guard, timeout, [&] { return done(events_); });
    }

    bool waitForEvent(const std::string& event, int times = 1,
                      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return waitFor(
            [&](const std::vector<std::string>& events) {
                int n = 0;
                for (const auto& e : events) {
                    n += e == event ? 1 : 0;
                }
                return n >= times;
            },
            timeout);
    }

  private:
    void Record(const char* event) {
        {
            std::lock_guard guard(lock_);
            events_.emplace_back(event);
        }
        changed_.notify_all();
    }

    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};

}  // namespace tessel::test
