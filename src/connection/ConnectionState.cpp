// SPDX-License-Identifier: MIT

#include "connection/ConnectionState.h"

#include <atomic>
#include <mutex>

namespace tessel {
namespace {

struct State {
    std::atomic<ConnectionPhase> phase{ConnectionPhase::Idle};
    std::mutex lock;
    FixedText<kNameFieldSize> currentHandle;
    FixedText<kNameFieldSize> currentChannel;
};

State& Shared() {
    static State state;
    return state;
}

}  // namespace

ConnectionPhase CurrentConnectionPhase() {
    return Shared().phase.load();
}
void SetConnectionPhase(ConnectionPhase phase) {
    Shared().phase.store(phase);
}

std::string CurrentHandle() {
    std::lock_guard guard(Shared().lock);
    return Shared().currentHandle.str();
}

void SetCurrentHandle(std::string_view handle) {
    std::lock_guard guard(Shared().lock);
    Shared().currentHandle.assign(handle);
}

std::string CurrentChannel() {
    std::lock_guard guard(Shared().lock);
    return Shared().currentChannel.str();
}

void SetCurrentChannel(std::string_view channel) {
    std::lock_guard guard(Shared().lock);
    Shared().currentChannel.assign(channel);
}

void ResetConnectionState() {
    SetConnectionPhase(ConnectionPhase::Idle);
    SetCurrentHandle("");
    SetCurrentChannel("");
}

}  // namespace tessel
