// SPDX-License-Identifier: MIT

#include "session/SessionState.h"

#include <atomic>

namespace tessel {
namespace {

std::atomic<bool>& OpenDiceValue() {
    static std::atomic<bool> value{true};
    return value;
}

}  // namespace

bool OpenDice() {
    return OpenDiceValue().load();
}
void SetOpenDice(bool value) {
    OpenDiceValue().store(value);
}

}  // namespace tessel
