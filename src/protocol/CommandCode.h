// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string_view>

namespace tessel {

// The protocol's vocabulary, listed once: the enum and the word table are both generated
// from this list, so a word and its code can never drift apart.
#define TESSEL_COMMAND_WORDS(X)                 \
    X(List, 1, "LIST")                          \
    X(Open, 2, "OPEN")                          \
    X(Close, 3, "CLOSE")                        \
    X(Mode, 4, "MODE")                          \
    X(Roll, 5, "ROLL")                          \
    X(SendMesg, 6, "SENDMESG")                  \
    X(GetUser, 7, "GETUSER")                    \
    X(Join, 8, "JOIN")                          \
    X(ReRoll, 9, "REROLL")                      \
    X(Ready, 10, "READY")                       \
    X(Response, 11, "RESPONSE")                 \
    X(FakeRoll, 12, "FAKEROLL")                 \
    X(Operate, 13, "OPERATE")                   \
    X(Show, 20, "SHOW")                         \
    X(ShowMesg, 21, "SHOWMESG")                 \
    X(PutUser, 22, "PUTUSER")                   \
    X(PutChannel, 23, "PUTCHANNEL")             \
    X(Greeting, 40, "TesseraRELAY")             \
    X(GreetingVersion, 41, "TesseraRELAY/0.1")  \
    X(ToServer, 50, "toServer")                 \
    X(ToClient, 51, "toClient")                 \
    X(DateLine, 60, "Date:")                    \
    X(ServerLine, 61, "Server:")                \
    X(ClientLine, 62, "Client:")                \
    X(ContentLengthLine, 63, "Content-length:") \
    X(ContentTypeLine, 64, "Content-type:")     \
    X(IdLine, 65, "ID:")                        \
    X(Cmd, 200, "CMD")                          \
    X(File, 254, "FILE")

enum class CommandCode : std::int32_t {
    // A command line that begins with a line feed or carriage return: no command at all.
    None = 0,
#define TESSEL_COMMAND_ENUM(name, code, word) name = code,
    TESSEL_COMMAND_WORDS(TESSEL_COMMAND_ENUM)
#undef TESSEL_COMMAND_ENUM
    // Any word outside the table, the empty word included.
    Other = 255,
};

struct CommandWord {
    std::string_view word;
    CommandCode code;
};

inline constexpr std::array kCommandWords = {
#define TESSEL_COMMAND_ENTRY(name, code, word) CommandWord{word, CommandCode::name},
    TESSEL_COMMAND_WORDS(TESSEL_COMMAND_ENTRY)
#undef TESSEL_COMMAND_ENTRY
};

namespace detail {
constexpr bool CommandWordsAreUnique() {
    for (std::size_t i = 0; i < kCommandWords.size(); ++i) {
        for (std::size_t j = i + 1; j < kCommandWords.size(); ++j) {
            if (kCommandWords[i].word == kCommandWords[j].word ||
                kCommandWords[i].code == kCommandWords[j].code) {
                return false;
            }
        }
    }
    return true;
}
}  // namespace detail
static_assert(detail::CommandWordsAreUnique(), "a command word or code is listed twice");

constexpr std::int32_t ToInt(CommandCode code) {
    return static_cast<std::int32_t>(code);
}

namespace detail {
// For each first byte below 0x80, the entries of the table whose word begins with it, as bits:
// a lookup compares only the few words that can match.
constexpr auto kWordsByFirstByte = [] {
    static_assert(kCommandWords.size() <= 32, "the entry masks hold 32 entries");
    std::array<std::uint32_t, 128> masks{};
    for (std::size_t i = 0; i < kCommandWords.size(); ++i) {
        masks[static_cast<unsigned char>(kCommandWords[i].word.front()) & 0x7F] |= 1u << i;
    }
    return masks;
}();
}  // namespace detail

// Exact, case-sensitive lookup of one word; Other for anything else.
constexpr CommandCode CommandCodeOfWord(std::string_view word) {
    const auto first = word.empty() ? 0x80u : static_cast<unsigned char>(word.front());
    if (first >= 0x80) {
        return CommandCode::Other;  // every word of the table begins with an ASCII letter
    }
    for (std::uint32_t mask = detail::kWordsByFirstByte[first]; mask != 0; mask &= mask - 1) {
        const CommandWord& entry = kCommandWords[static_cast<std::size_t>(std::countr_zero(mask))];
        if (entry.word == word) {
            return entry.code;
        }
    }
    return CommandCode::Other;
}

// The word of a code in the table; empty for None and Other.
constexpr std::string_view WordOf(CommandCode code) {
    for (const CommandWord& entry : kCommandWords) {
        if (entry.code == code) {
            return entry.word;
        }
    }
    return {};
}

// The request codes a client can put on the wire (READY is only ever received).
constexpr bool IsRequestCode(CommandCode code) {
    const std::int32_t c = ToInt(code);
    return (c >= 1 && c <= 9) || (c >= 11 && c <= 13);
}

// Requests that carry a body after their header.
constexpr bool CarriesBody(CommandCode code) {
    return code == CommandCode::SendMesg || code == CommandCode::ReRoll ||
           code == CommandCode::FakeRoll;
}

}  // namespace tessel
