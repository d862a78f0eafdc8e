// SPDX-License-Identifier: MIT

#include "connection/Reconnector.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "connection/ConnectionTexts.h"
#include "protocol/TextFormat.h"

namespace tessel {
namespace {

// Seconds with one decimal, as the waits are shown.
std::string Seconds(std::chrono::milliseconds wait) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", static_cast<double>(wait.count()) / 1000.0);
    return buffer;
}

}  // namespace

ReconnectBackoff::ReconnectBackoff(ReconnectDelays delays, std::uint32_t seed) : delays_(delays) {
    // Through a seed sequence: neighbouring seeds still give unrelated spreads.
    std::seed_seq sequence{seed};
    random_.seed(sequence);
    delays_.first = std::max(delays_.first, std::chrono::milliseconds(1));
    delays_.longest = std::max(delays_.longest, delays_.first);
}

std::chrono::milliseconds ReconnectBackoff::Next() {
    // Doubling stops at the longest wait long before the count could overflow the shift.
    std::chrono::milliseconds nominal = delays_.first;
    for (int i = 0; i < attempts_ && nominal < delays_.longest; ++i) {
        nominal *= 2;
    }
    nominal = std::min(nominal, delays_.longest);
    ++attempts_;
    std::uniform_int_distribution<std::int64_t> spread(-nominal.count() / 5, nominal.count() / 5);
    const std::chrono::milliseconds wait(nominal.count() + spread(random_));
    return std::clamp(wait, std::chrono::milliseconds(1), delays_.longest);
}

Reconnector::Reconnector(ReconnectDelays delays, std::uint32_t seed, Show show)
    : backoff_(delays, seed), show_(std::move(show)) {}

bool Reconnector::Dropped(const ConnectRequest& target, std::string_view handle,
                          std::string_view channel, Clock::time_point now) {
    if (!Enabled()) {
        return false;
    }
    // A drop right after a reconnect came up, before the server answered the handle, keeps
    // the names it was restoring (none is acknowledged yet) and continues the same back-off:
    // a server that accepts and drops at once is not knocked on every second.
    if (awaitingHandle_.empty()) {
        names_ = RestoredSession{std::string(handle), std::string(channel)};
        backoff_.Reset();
    }
    awaitingHandle_.clear();
    target_ = target;
    attempting_ = false;
    Plan(now);
    return true;
}

void Reconnector::Plan(Clock::time_point now) {
    const std::chrono::milliseconds wait = backoff_.Next();
    due_ = now + wait;
    show_(
        FillText(texts::kReconnectScheduled, {Seconds(wait), std::to_string(backoff_.Attempts())}));
}

void Reconnector::AttemptFailed(Clock::time_point now) {
    if (!attempting_) {
        return;
    }
    attempting_ = false;
    Plan(now);
}

std::optional<ConnectRequest> Reconnector::TakeDueAttempt(Clock::time_point now) {
    if (!due_ || now < *due_) {
        return std::nullopt;
    }
    due_.reset();
    attempting_ = true;
    show_(FillText(texts::kReconnectAttempt, {std::to_string(backoff_.Attempts())}));
    return target_;
}

void Reconnector::AttemptConnected() {
    if (!attempting_) {
        return;
    }
    attempting_ = false;
    show_(std::string(texts::kReconnected));
    awaitingHandle_ = names_.handle;
    std::lock_guard guard(restoreLock_);
    restore_ = names_;
}

void Reconnector::HandleAnswered(bool accepted) {
    if (awaitingHandle_.empty()) {
        return;
    }
    if (!accepted) {
        // Someone took the handle while we were away. Trying again could only fail the same
        // way, so the connection stays up without it and the user picks another.
        show_(FillText(texts::kReconnectHandleTaken, {awaitingHandle_}));
    }
    awaitingHandle_.clear();
    backoff_.Reset();
}

void Reconnector::Stop() {
    const bool waiting = due_.has_value() || attempting_;
    due_.reset();
    attempting_ = false;
    awaitingHandle_.clear();
    backoff_.Reset();
    {
        std::lock_guard guard(restoreLock_);
        restore_.reset();
    }
    if (waiting) {
        show_(std::string(texts::kReconnectStopped));
    }
}

std::optional<RestoredSession> Reconnector::TakeRestore() {
    std::lock_guard guard(restoreLock_);
    return std::exchange(restore_, std::nullopt);
}

}  // namespace tessel
