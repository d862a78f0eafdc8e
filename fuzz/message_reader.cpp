// SPDX-License-Identifier: MIT

// The message reader fed a server's stream whole and in arbitrary pieces: the same messages
// must come out, each within its fields' limits.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "connection/MessageReader.h"

namespace tessel::fuzz {
namespace {

using Clock = MessageReader::Clock;

struct Received {
    std::string commandLine;
    CommandCode command = CommandCode::Other;
    std::int32_t contentLength = 0;
    ContentType contentType = ContentType::Other;
    std::string id;
    std::string body;

    friend bool operator==(const Received&, const Received&) = default;
};

template <std::size_t N>
bool Terminated(const FixedText<N>& field) {
    return field.data()[FixedText<N>::kMaxLength] == '\0';
}

Received Checked(const ProtocolMessage& m) {
    // More than 4096 is read as 4095; 4096 itself is a whole body.
    FUZZ_CHECK(m.contentLength >= 0 && m.contentLength <= MessageReader::kMaxBody);
    FUZZ_CHECK(Terminated(m.commandLine) && Terminated(m.arguments) && Terminated(m.id) &&
               Terminated(m.body));
    FUZZ_CHECK(m.commandLine.size() <= kLineFieldSize - 1);
    return {m.commandLine.str(), m.command,  m.contentLength,
            m.contentType,       m.id.str(), std::string(m.body.bytes(m.contentLength))};
}

void Drain(MessageReader& reader, Clock::time_point now, std::vector<Received>& out) {
    ProtocolMessage message;
    while (reader.Next(message, now)) {
        out.push_back(Checked(message));
    }
}

std::vector<Received> Whole(std::string_view stream) {
    ResetProtocolState();
    MessageReader reader;
    std::vector<Received> out;
    const Clock::time_point start{};
    reader.Feed(stream, start);
    Drain(reader, start, out);
    reader.EndOfStream();
    Drain(reader, start, out);
    return out;
}

// Pieces of random length, taken out after every piece, with time passing (within the
// silence period) between them.
std::vector<Received> Pieces(std::string_view stream) {
    ResetProtocolState();
    SplitMix random(stream);
    MessageReader reader;
    std::vector<Received> out;
    Clock::time_point now{};
    while (!stream.empty()) {
        const std::size_t n = 1 + random.Below(random.Below(4) == 0 ? stream.size() : 64);
        reader.Feed(stream.substr(0, n), now);
        stream.remove_prefix(std::min(n, stream.size()));
        Drain(reader, now, out);
        now += std::chrono::milliseconds(random.Below(1000));
    }
    reader.EndOfStream();
    Drain(reader, now, out);
    return out;
}

}  // namespace
}  // namespace tessel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel::fuzz;
    const std::string_view stream = AsText(data, size);
    const auto whole = Whole(stream);
    // Every message takes at least a greeting, "toClient" and a command line.
    FUZZ_CHECK(whole.size() <= stream.size() / 3 + 1);
    FUZZ_CHECK(Whole(stream) == whole);
    FUZZ_CHECK(Pieces(stream) == whole);
    return 0;
}
