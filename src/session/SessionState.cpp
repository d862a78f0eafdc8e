#include "session/SessionState.h"

#include <atomic>

namespace tessel {
namespace {

std::atomic<int>& OpenDiceValue() {
    static std::atomic<int> value{1};
    return value;
}

}  // namespace

int OpenDice() {
    return OpenDiceValue().load();
}
void SetOpenDice(int value) {
    OpenDiceValue().store(value);
}

}  // namespace tessel
