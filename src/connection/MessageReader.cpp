// SPDX-License-Identifier: MIT

#include "connection/MessageReader.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "protocol/ByteScan.h"
#include "protocol/Words.h"

namespace tessel {

void MessageReader::Feed(std::string_view bytes, Clock::time_point now) {
    if (bytes.empty()) {
        return;
    }
    if (consumed_ > 0 && consumed_ >= buffer_.size() / 2) {
        buffer_.erase(0, consumed_);
        consumed_ = 0;
    }
    buffer_.append(bytes);
    lastByte_ = now;
}

std::optional<MessageReader::Clock::time_point> MessageReader::Deadline() const {
    if (!InProgress()) {
        return std::nullopt;
    }
    return lastByte_ + silence_;
}

void MessageReader::Reset() {
    buffer_.clear();
    consumed_ = 0;
    state_ = State::Greeting;
    body_.clear();
    ended_ = false;
}

namespace {

// The first line feed in [p, end), or null.
const char* FindLineFeed(const char* p, const char* end) {
    const char* const feed = scan::FindLineFeed(p, end);
    return feed == end ? nullptr : feed;
}

}  // namespace

std::optional<std::string_view> MessageReader::TakeLine(bool flush) {
    const std::size_t available = Available();
    const std::size_t scan = std::min(available, kLineLimit);
    const char* start = buffer_.data() + consumed_;
    const char* feed = FindLineFeed(start, start + scan);
    std::size_t length;
    std::size_t taken;
    if (feed != nullptr) {
        length = static_cast<std::size_t>(feed - start);
        taken = length + 1;
    } else if (available >= kLineLimit || (flush && available > 0)) {
        length = scan;
        taken = scan;
    } else {
        return std::nullopt;
    }
    consumed_ += taken;
    // A line that ends in a bare line feed is used where it lies, until the next Feed; one
    // to fold or to end gets the line buffer, which every such line reuses.
    if (feed != nullptr && (length == 0 || start[length - 1] != '\r')) {
        return std::string_view(start, length + 1);
    }
    line_.assign(start, length);
    if (!line_.empty() && line_.back() == '\r') {
        line_.pop_back();
    }
    line_ += '\n';
    return std::string_view(line_);
}

namespace {

// The value of a header line whose first word is `name`: the next word, read as WordAt reads
// words, without its general walk, which costs more than the few bytes of a value.
std::string_view HeaderValue(std::string_view line, std::string_view name) {
    const char* p = line.data() + name.size();
    const char* const end = line.data() + line.size();
    while (p != end && (*p == ' ' || *p == '\t')) {
        ++p;
    }
    const char* const start = p;
    while (p != end && !EndsWord(*p)) {
        ++p;
    }
    return {start, static_cast<std::size_t>(p - start)};
}

constexpr std::string_view kContentLength = WordOf(CommandCode::ContentLengthLine);
constexpr std::string_view kContentType = WordOf(CommandCode::ContentTypeLine);
constexpr std::string_view kIdLine = WordOf(CommandCode::IdLine);
static_assert(kContentLength.front() == 'C' && kContentType.front() == 'C' &&
              kIdLine.front() == 'I');
constexpr std::string_view kGreeting = WordOf(CommandCode::Greeting);
constexpr std::string_view kGreetingVersion = WordOf(CommandCode::GreetingVersion);
constexpr std::string_view kToClient = WordOf(CommandCode::ToClient);

}  // namespace

// Every message has several header lines: each is matched against the few names that matter
// by its first byte, not looked up in the whole vocabulary.
void MessageReader::ReadHeaderLine(std::string_view line, ProtocolMessage& message) {
    if (line.front() != 'C' && line.front() != 'I') {
        return;  // Date:, Server:, Client: and anything else are read and ignored
    }
    if (StartsWithWord(line, kContentLength)) {
        message.contentLength = ReadDecimal(HeaderValue(line, kContentLength));
    } else if (StartsWithWord(line, kContentType)) {
        message.contentType = ContentTypeFromText(HeaderValue(line, kContentType));
    } else if (StartsWithWord(line, kIdLine)) {
        message.id.assign(HeaderValue(line, kIdLine));
    }
}

bool MessageReader::Finish(ProtocolMessage& out, bool complete) {
    return Finish(out, complete, body_);
}

bool MessageReader::Finish(ProtocolMessage& out, bool complete, std::string_view body) {
    if (!complete) {
        message_.contentLength = 0;
    }
    // The header fields, then the body straight from where it was gathered: the body field's
    // 4352 bytes are not copied twice for every message.
    out.command = message_.command;
    out.arguments.assign({});  // a server's line is classified by its word alone
    out.commandLine.assign(message_.commandLine.view());
    out.contentLength = message_.contentLength;
    out.contentType = message_.contentType;
    out.id = message_.id;
    out.rollSlot = message_.rollSlot;
    out.body.assignBytes(body);
    body_.clear();
    state_ = State::Greeting;
    return true;
}

void MessageReader::CapBody(ProtocolMessage& message) {
    if (static_cast<std::uint32_t>(message.contentLength) > static_cast<std::uint32_t>(kMaxBody)) {
        message.contentLength = kCappedBody;
    }
}

// A flood brings whole messages one after another: one that lies complete at the front of
// what has arrived is read in a single pass, without the line-by-line states. Whatever needs
// those (a line to fold or to cut, a first line that is no greeting, a second that is not
// "toClient", a message not all here yet) is left untouched to the line-by-line reading, which
// gives the same result.
bool MessageReader::TakeWholeMessage(ProtocolMessage& out) {
    const char* p = buffer_.data() + consumed_;
    const char* const end = buffer_.data() + buffer_.size();
    // The next line with its line feed, if it is all here and taken as it is.
    scan::LineFeedFinder feeds(p, end);
    auto nextLine = [&p, end, &feeds]() -> std::optional<std::string_view> {
        const char* const limit =
            end - p > static_cast<std::ptrdiff_t>(kLineLimit) ? p + kLineLimit : end;
        const char* const feed = feeds.Next(p, limit);
        if (feed == limit || (feed != p && feed[-1] == '\r')) {
            return std::nullopt;
        }
        const std::string_view line(p, static_cast<std::size_t>(feed + 1 - p));
        p = feed + 1;
        return line;
    };
    const auto greeting = nextLine();
    if (!greeting ||
        !(StartsWithWord(*greeting, kGreetingVersion) || StartsWithWord(*greeting, kGreeting))) {
        return false;
    }
    const auto toClient = nextLine();
    if (!toClient || !StartsWithWord(*toClient, kToClient)) {
        return false;
    }
    const auto command = nextLine();
    if (!command) {
        return false;
    }
    // The header is gathered straight into `out`: what a false return leaves there is not
    // looked at, and the line-by-line reading starts its own message afresh.
    out.SetReceivedLine(*command);
    for (;;) {
        const auto line = nextLine();
        if (!line) {
            return false;
        }
        if (*line == "\n") {
            break;
        }
        ReadHeaderLine(*line, out);
    }
    CapBody(out);
    const auto wanted = static_cast<std::size_t>(out.contentLength);
    if (static_cast<std::size_t>(end - p) < wanted) {
        return false;
    }
    consumed_ = static_cast<std::size_t>(p + wanted - buffer_.data());
    out.body.assignBytes(std::string_view(p, wanted));
    return true;
}

bool MessageReader::Next(ProtocolMessage& out, Clock::time_point now) {
    const bool silent = InProgress() && now - lastByte_ >= silence_;
    const bool flush = ended_ || silent;
    if (silent) {
        lastByte_ = now;  // the silence is spent on this message, not on the next one
    }
    if (state_ == State::Greeting && TakeWholeMessage(out)) {
        return true;
    }
    for (;;) {
        switch (state_) {
            case State::Greeting: {
                const auto line = TakeLine(flush);
                if (!line) {
                    return false;
                }
                if (StartsWithWord(*line, kGreetingVersion) || StartsWithWord(*line, kGreeting)) {
                    message_.SetReceivedLine("");
                    message_.id.clear();
                    body_.clear();
                    state_ = State::ToClient;
                }
                break;
            }
            case State::ToClient: {
                const auto line = TakeLine(flush);
                if (!line) {
                    if (flush) {
                        state_ = State::Greeting;
                    }
                    return false;
                }
                state_ = StartsWithWord(*line, kToClient) ? State::CommandLine : State::Greeting;
                break;
            }
            case State::CommandLine: {
                const auto line = TakeLine(flush);
                if (!line) {
                    if (flush) {
                        state_ = State::Greeting;
                    }
                    return false;
                }
                message_.SetReceivedLine(*line);
                state_ = State::HeaderLines;
                break;
            }
            case State::HeaderLines: {
                const auto line = TakeLine(flush);
                if (!line) {
                    return flush ? Finish(out, false) : false;
                }
                if (*line != "\n") {
                    ReadHeaderLine(*line, message_);
                    break;
                }
                CapBody(message_);
                if (message_.contentLength == 0) {
                    return Finish(out, true);
                }
                state_ = State::Body;
                break;
            }
            case State::Body: {
                const std::size_t wanted = static_cast<std::size_t>(message_.contentLength);
                if (body_.empty() && Available() >= wanted) {
                    // The whole body is at hand, as in a flood: taken where it lies.
                    const std::string_view body(buffer_.data() + consumed_, wanted);
                    consumed_ += wanted;
                    return Finish(out, true, body);
                }
                const std::size_t n = std::min(wanted - body_.size(), Available());
                body_.append(buffer_, consumed_, n);
                consumed_ += n;
                if (body_.size() == wanted) {
                    return Finish(out, true);
                }
                return flush ? Finish(out, false) : false;
            }
        }
    }
}

}  // namespace tessel
