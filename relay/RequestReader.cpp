// SPDX-License-Identifier: MIT

#include "relay/RequestReader.h"

#include <algorithm>
#include <cstring>

#include "protocol/Words.h"
#include "relay/RelayLimits.h"

namespace tessel::relay {
namespace {

// A pending line may also hold the carriage return of a "\r\n" ending.
constexpr std::size_t kMaxPendingLineBytes = kMaxHeaderLineBytes + 1;

bool IsGreeting(std::string_view line) {
    const CommandCode code = WordCode(line);
    return code == CommandCode::Greeting || code == CommandCode::GreetingVersion;
}

// A body length the relay can frame: plain decimal digits, at most kMaxRequestBodyBytes.
std::optional<std::size_t> BodyLength(std::string_view word) {
    if (word.empty() || word.size() > 9 ||
        !std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto value = static_cast<std::size_t>(ReadDecimal(word));
    if (value > kMaxRequestBodyBytes) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<ReaderEvent> RequestReader::Next(std::string_view& input) {
    while (!input.empty()) {
        if (broken_) {
            input = {};
            return std::nullopt;
        }
        if (state_ == State::Body) {
            const std::size_t n = std::min(bodyRemaining_, input.size());
            current_.body.append(input.data(), n);
            input.remove_prefix(n);
            bodyRemaining_ -= n;
            if (bodyRemaining_ == 0) {
                return Complete();
            }
            continue;
        }
        const void* feed = std::memchr(input.data(), '\n', input.size());
        const std::size_t take =
            feed == nullptr ? input.size() : static_cast<const char*>(feed) - input.data();
        // Refuse before buffering: a line of a megabyte never gets more than the cap in memory.
        if (line_.size() + take > kMaxPendingLineBytes) {
            input = {};
            return Break("header line longer than " + std::to_string(kMaxHeaderLineBytes) +
                         " bytes");
        }
        line_.append(input.data(), take);
        input.remove_prefix(feed == nullptr ? take : take + 1);
        if (feed == nullptr) {
            return std::nullopt;
        }
        std::string line = std::move(line_);
        line_.clear();
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.size() > kMaxHeaderLineBytes) {
            input = {};
            return Break("header line longer than " + std::to_string(kMaxHeaderLineBytes) +
                         " bytes");
        }
        if (std::optional<ReaderEvent> event = TakeLine(std::move(line))) {
            if (event->kind == ReaderEventKind::Broken) {
                input = {};
            }
            return event;
        }
    }
    return std::nullopt;
}

std::optional<ReaderEvent> RequestReader::TakeLine(std::string line) {
    if (state_ == State::Seeking) {
        if (line.empty()) {
            return std::nullopt;  // stray line ends between messages are harmless
        }
        if (IsGreeting(line)) {
            inNoise_ = false;
            current_ = FramedMessage{};
            current_.header.push_back(std::move(line));
            state_ = State::Header;
            return std::nullopt;
        }
        if (inNoise_) {
            return std::nullopt;
        }
        inNoise_ = true;
        ReaderEvent event;
        event.kind = ReaderEventKind::Noise;
        event.reason = "text outside a message";
        return event;
    }
    if (line.empty()) {
        return EndOfHeader();
    }
    // A request with no command is sent as its greeting lines alone, without an ID line or an
    // empty line: a greeting right after them starts the next request.
    if (current_.header.size() <= 2 && IsGreeting(line)) {
        current_ = FramedMessage{};
        current_.header.push_back(std::move(line));
        return std::nullopt;
    }
    if (current_.header.size() >= kMaxHeaderLines) {
        return Break("more than " + std::to_string(kMaxHeaderLines) + " header lines");
    }
    current_.header.push_back(std::move(line));
    return std::nullopt;
}

std::optional<ReaderEvent> RequestReader::EndOfHeader() {
    std::size_t length = 0;
    // The greeting is never a length line; every later line may be, and the last one counts,
    // as for the client. A length that cannot be trusted leaves no way to find the next
    // message, so the stream is given up.
    for (std::size_t i = 1; i < current_.header.size(); ++i) {
        const std::string& line = current_.header[i];
        if (WordCode(line) != CommandCode::ContentLengthLine) {
            continue;
        }
        const std::optional<std::size_t> value = BodyLength(WordAt(line, 1));
        if (!value) {
            return Break("Content-length is not a number from 0 to " +
                         std::to_string(kMaxRequestBodyBytes));
        }
        length = *value;
    }
    if (length == 0) {
        return Complete();
    }
    bodyRemaining_ = length;
    current_.body.reserve(length);
    state_ = State::Body;
    return std::nullopt;
}

ReaderEvent RequestReader::Break(std::string reason) {
    broken_ = true;
    line_.clear();
    line_.shrink_to_fit();
    current_ = FramedMessage{};
    ReaderEvent event;
    event.kind = ReaderEventKind::Broken;
    event.reason = std::move(reason);
    return event;
}

ReaderEvent RequestReader::Complete() {
    ReaderEvent event;
    event.kind = ReaderEventKind::Message;
    event.message = std::move(current_);
    current_ = FramedMessage{};
    state_ = State::Seeking;
    bodyRemaining_ = 0;
    return event;
}

}  // namespace tessel::relay
