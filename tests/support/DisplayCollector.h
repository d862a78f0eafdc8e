// SPDX-License-Identifier: MIT

#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "display/DisplayQueue.h"
#include "support/FrontEndRecorder.h"

namespace tessel::test {

// Plays the front end's part for the display queue: drains it as items are posted and keeps
// every item, so a test can wait until an expected line has been shown.
class DisplayCollector {
  public:
    DisplayCollector(DisplayQueue& queue, FrontEndRecorder& recorder)
        : queue_(queue), recorder_(recorder) {}

    const std::vector<DisplayItem>& Drain() {
        while (auto item = queue_.TakeDisplayItem()) {
            items_.push_back(std::move(*item));
        }
        return items_;
    }

    // All texts shown so far, in order.
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const DisplayItem& item : Drain()) {
            texts.push_back(item.text);
        }
        return texts;
    }

    bool WaitFor(const std::function<bool(const std::vector<DisplayItem>&)>& done,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const int posted = recorder_.count("DisplayTextPosted");
            if (done(Drain())) {
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                return false;
            }
            recorder_.waitForEvent("DisplayTextPosted", posted + 1, left);
        }
    }

    bool WaitForText(const std::string& text,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return WaitFor(
            [&](const std::vector<DisplayItem>& items) {
                for (const DisplayItem& item : items) {
                    if (item.text == text) {
                        return true;
                    }
                }
                return false;
            },
            timeout);
    }

    void Clear() {
        Drain();
        items_.clear();
    }

  private:
    DisplayQueue& queue_;
    FrontEndRecorder& recorder_;
    std::vector<DisplayItem> items_;
};

}  // namespace tessel::test
