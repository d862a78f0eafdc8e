#include "connection/ConnectionState.h"

#include <atomic>
#include <mutex>

namespace tessel {
namespace {

struct State {
    std::atomic<int> isConnected{0};
    std::atomic<int> connectPending{0};
    std::atomic<int> isConnecting{0};
    std::mutex lock;
    FixedText<kNameFieldSize> currentHandle;
    FixedText<kNameFieldSize> currentChannel;
};

State& Shared() {
    static State state;
    return state;
}

}  // namespace

int IsConnected() {
    return Shared().isConnected.load();
}
void SetIsConnected(int value) {
    Shared().isConnected.store(value);
}
int ConnectPending() {
    return Shared().connectPending.load();
}
void SetConnectPending(int value) {
    Shared().connectPending.store(value);
}
int IsConnecting() {
    return Shared().isConnecting.load();
}
void SetIsConnecting(int value) {
    Shared().isConnecting.store(value);
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
    SetIsConnected(0);
    SetConnectPending(0);
    SetIsConnecting(0);
    SetCurrentHandle("");
    SetCurrentChannel("");
}

}  // namespace tessel
