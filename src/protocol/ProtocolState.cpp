// SPDX-License-Identifier: MIT

#include "protocol/ProtocolState.h"

#include <atomic>
#include <mutex>

namespace tessel {
namespace {

constexpr std::int32_t kInitialClientNumber = 255;
constexpr std::int32_t kSequenceModulus = 65536;

struct SharedTexts {
    std::mutex lock;
    FixedText<kNameFieldSize> pendingHandle;
    FixedText<kNameFieldSize> pendingChannel;
    FixedText<kNameFieldSize> sprollText;
    OwnRoll lastOwnRoll;
    OwnRoll previousOwnRoll;
};

std::atomic<std::int32_t>& ClientNumberValue() {
    static std::atomic<std::int32_t> value{kInitialClientNumber};
    return value;
}

std::atomic<std::int32_t>& SequenceValue() {
    static std::atomic<std::int32_t> value{0};
    return value;
}

SharedTexts& Shared() {
    static SharedTexts shared;
    return shared;
}

std::string ReadText(const FixedText<kNameFieldSize>& text) {
    std::lock_guard guard(Shared().lock);
    return text.str();
}

void WriteText(FixedText<kNameFieldSize>& text, std::string_view value) {
    std::lock_guard guard(Shared().lock);
    text.assign(value);
}

}  // namespace

std::int32_t ClientNumber() {
    return ClientNumberValue().load();
}
void SetClientNumber(std::int32_t number) {
    ClientNumberValue().store(number);
}

std::int32_t MessageSequence() {
    return SequenceValue().load();
}

void SetMessageSequence(std::int32_t value) {
    SequenceValue().store(((value % kSequenceModulus) + kSequenceModulus) % kSequenceModulus);
}

std::int32_t TakeMessageSequence() {
    auto& sequence = SequenceValue();
    std::int32_t current = sequence.load();
    while (!sequence.compare_exchange_weak(current, (current + 1) % kSequenceModulus)) {
    }
    return current;
}

std::string PendingHandle() {
    return ReadText(Shared().pendingHandle);
}
void SetPendingHandle(std::string_view handle) {
    WriteText(Shared().pendingHandle, handle);
}
std::string PendingChannel() {
    return ReadText(Shared().pendingChannel);
}
void SetPendingChannel(std::string_view channel) {
    WriteText(Shared().pendingChannel, channel);
}
std::string SprollText() {
    return ReadText(Shared().sprollText);
}
void SetSprollText(std::string_view text) {
    WriteText(Shared().sprollText, text);
}

OwnRoll LastOwnRoll() {
    std::lock_guard guard(Shared().lock);
    return Shared().lastOwnRoll;
}

OwnRoll PreviousOwnRoll() {
    std::lock_guard guard(Shared().lock);
    return Shared().previousOwnRoll;
}

OwnRoll OwnRollSlot(std::int32_t slot) {
    return slot == 1 ? PreviousOwnRoll() : LastOwnRoll();
}

void RecordOwnRoll(const OwnRoll& roll) {
    std::lock_guard guard(Shared().lock);
    Shared().previousOwnRoll = Shared().lastOwnRoll;
    Shared().lastOwnRoll = roll;
}

void ResetProtocolState() {
    SetClientNumber(kInitialClientNumber);
    SetMessageSequence(0);
    std::lock_guard guard(Shared().lock);
    Shared().pendingHandle.clear();
    Shared().pendingChannel.clear();
    Shared().sprollText.clear();
    Shared().lastOwnRoll = OwnRoll{};
    Shared().previousOwnRoll = OwnRoll{};
}

}  // namespace tessel
