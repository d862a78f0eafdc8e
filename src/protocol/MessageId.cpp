// SPDX-License-Identifier: MIT

#include "protocol/MessageId.h"

#include <cstdio>
#include <cstdlib>

namespace tessel {
namespace {

// The common prefix "<letter>%03d%05d%03d" with the number 0 in the last three places.
std::string Prefix(char letter) {
    char buffer[kNameFieldSize];
    std::snprintf(buffer, sizeof buffer, "%c%03d%05d%03d", letter, ClientNumber(),
                  TakeMessageSequence(), 0);
    return buffer;
}

std::string Cut(std::string id) {
    if (id.size() > MessageIdText::kMaxLength) {
        id.resize(MessageIdText::kMaxLength);
    }
    return id;
}

}  // namespace

std::string GeneralId() {
    return Prefix('a');
}

std::string CommandId(CommandCode code) {
    char marker[16];
    std::snprintf(marker, sizeof marker, "r%03d", ToInt(code));
    return Cut(Prefix('m') + marker);
}

std::string ModifierId(std::int32_t modifier) {
    char marker[24];
    const long long magnitude = std::llabs(static_cast<long long>(modifier));
    std::snprintf(marker, sizeof marker, "%c%03lld", modifier < 0 ? '-' : '+', magnitude);
    return Cut(Prefix('m') + marker);
}

std::string NoteId(std::string_view note) {
    std::string id = Prefix('m');
    id += "0000x";
    id += note;
    return Cut(std::move(id));
}

void AppendNoteToId(MessageIdText& id, std::string_view note) {
    std::string text = id.str();
    if (text.size() < kNotePosition) {
        text.append(kNotePosition - text.size(), '0');
    }
    text.resize(kNotePosition);
    text += 'x';
    text += note;
    id.assign(text);
}

}  // namespace tessel
