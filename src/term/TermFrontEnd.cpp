#include "term/TermFrontEnd.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

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
        // One pending display event is enough: a drain empties the whole queue.
        if (event != TermEvent::DisplayText || events_.empty() ||
            events_.back() != TermEvent::DisplayText) {
            events_.push_back(event);
        }
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd_, &one, sizeof one);
}

std::optional<TermEvent> TermFrontEnd::Take() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd_, &count, sizeof count);
    std::lock_guard guard(lock_);
    if (events_.empty()) {
        return std::nullopt;
    }
    const TermEvent event = events_.front();
    events_.pop_front();
    return event;
}

}  // namespace tessel
