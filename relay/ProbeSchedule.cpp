// SPDX-License-Identifier: MIT

#include "relay/ProbeSchedule.h"

namespace tessel::relay {
namespace {

bool InRange(int number) {
    return number >= 1 && number <= kMaxClientNumber;
}

}  // namespace

void ProbeSchedule::Start(int number, Clock::time_point now) {
    if (InRange(number)) {
        entries_[number] = Entry{true, true, now + timeout_};
    }
}

void ProbeSchedule::Stop(int number) {
    if (InRange(number)) {
        entries_[number] = Entry{};
    }
}

bool ProbeSchedule::Answer(int number, Clock::time_point now) {
    if (!InRange(number) || !entries_[number].active || !entries_[number].waiting) {
        return false;
    }
    entries_[number].waiting = false;
    entries_[number].at = now + interval_;
    return true;
}

ProbeSchedule::Due ProbeSchedule::Collect(Clock::time_point now) {
    Due due;
    for (int n = 1; n <= kMaxClientNumber; ++n) {
        Entry& e = entries_[n];
        if (!e.active || e.at > now) {
            continue;
        }
        if (e.waiting) {
            due.silent.push_back(n);
            e = Entry{};
        } else {
            due.probe.push_back(n);
            e.waiting = true;
            e.at = now + timeout_;
        }
    }
    return due;
}

std::optional<Clock::time_point> ProbeSchedule::NextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const Entry& e : entries_) {
        if (e.active && (!next || e.at < *next)) {
            next = e.at;
        }
    }
    return next;
}

}  // namespace tessel::relay
