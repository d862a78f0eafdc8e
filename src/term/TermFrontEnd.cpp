// SPDX-License-Identifier: MIT

#include "term/TermFrontEnd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <utility>

#include "platform/WriteAll.h"

namespace tessel {

TermFrontEnd::TermFrontEnd() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TermFrontEnd::~TermFrontEnd() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

void TermFrontEnd::Post(TermEvent event) {
    {
        std::lock_guard guard(lock_);
        const bool wasEmpty = events_.empty();
        // One pending display event is enough: a drain empties the whole queue.
        if (event != TermEvent::DisplayText || events_.empty() ||
            events_.back() != TermEvent::DisplayText) {
            events_.push_back(event);
        }
        if (!wasEmpty) {
            return;  // the loop has been woken for this batch already
        }
    }
    const std::uint64_t one = 1;
    WriteAll(fd_, std::string_view(reinterpret_cast<const char*>(&one), sizeof one));
}

std::deque<TermEvent> TermFrontEnd::TakeAll() {
    std::lock_guard guard(lock_);
    // Cleared before the caller drains, so an item posted during the drain posts again.
    displayPending_ = false;
    // Under the lock: a post that finds the list empty after this writes the descriptor anew.
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd_, &count, sizeof count);
    return std::exchange(events_, {});
}

}  // namespace tessel
