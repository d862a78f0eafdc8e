// SPDX-License-Identifier: MIT

#include "relay/GroupWire.h"

#include <algorithm>
#include <charconv>

#include "relay/RelayLimits.h"

namespace tessel::relay {
namespace {

constexpr std::string_view kMagic = "tessel1";
constexpr std::size_t kMaxRelayName = 40;
constexpr std::string_view kNoChannel = "-";

constexpr std::string_view KindWord(GroupKind kind) {
    switch (kind) {
        case GroupKind::Say:
            return "say";
        case GroupKind::Show:
            return "show";
        case GroupKind::Tell:
            return "tell";
        case GroupKind::State:
            return "state";
        case GroupKind::Sync:
            return "sync";
        case GroupKind::Bye:
            return "bye";
    }
    return "";
}

std::optional<GroupKind> KindOf(std::string_view word) {
    for (const GroupKind kind : {GroupKind::Say, GroupKind::Show, GroupKind::Tell, GroupKind::State,
                                 GroupKind::Sync, GroupKind::Bye}) {
        if (KindWord(kind) == word) {
            return kind;
        }
    }
    return std::nullopt;
}

bool Printable(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b <= 0x20 || b == 0x7F;
    });
}

// A handle, address or channel as the relay accepts it from a client: one word of 1 to 63
// bytes without control bytes.
bool ValidName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxNameBytes && Printable(name);
}

bool ValidChannel(std::string_view channel) {
    return ValidName(channel) && channel.size() >= kMinChannelBytes && channel.front() == '#';
}

// Reads lines off the front of the message; the last field is the rest.
class Fields {
  public:
    explicit Fields(std::string_view bytes) : rest_(bytes) {}

    std::optional<std::string_view> Line() {
        const std::size_t feed = rest_.find('\n');
        if (feed == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view line = rest_.substr(0, feed);
        rest_.remove_prefix(feed + 1);
        return line;
    }
    std::string_view Rest() const { return rest_; }

  private:
    std::string_view rest_;
};

std::optional<int> Whole(std::string_view text, int low, int high) {
    int value = 0;
    if (text.empty() || text.size() > 6 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

bool IsDiceLines(std::string_view text) {
    Fields lines(text);
    while (!lines.Rest().empty()) {
        const std::optional<std::string_view> line = lines.Line();
        if (!line || !Whole(*line, 0, 9'999'999) || line->size() > kMaxDieValueDigits) {
            return false;
        }
    }
    return true;
}

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at <= line.size()) {
        const std::size_t space = std::min(line.find(' ', at), line.size());
        words.push_back(line.substr(at, space - at));
        at = space + 1;
    }
    return words;
}

std::optional<GroupUser> ParseUser(std::string_view line) {
    const std::vector<std::string_view> words = Words(line);
    if (words.size() != 4 || !ValidName(words[0]) || !ValidName(words[2]) ||
        (words[1] != kNoChannel && !ValidChannel(words[1])) ||
        (words[3] != "0" && words[3] != "1")) {
        return std::nullopt;
    }
    return GroupUser{std::string(words[0]), words[1] == kNoChannel ? "" : std::string(words[1]),
                     std::string(words[2]), words[3] == "1"};
}

std::optional<GroupMessage> Fail(std::string& why, std::string_view what) {
    why = what;
    return std::nullopt;
}

}  // namespace

bool ValidRelayName(std::string_view name) {
    return !name.empty() && name.size() <= kMaxRelayName &&
           std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '_' || c == '-';
           });
}

std::string EncodeGroupMessage(const GroupMessage& m) {
    std::string out(kMagic);
    out.append(" ").append(KindWord(m.kind)).append(" ").append(m.relay).push_back('\n');
    const auto line = [&out](std::string_view text) { out.append(text).push_back('\n'); };
    switch (m.kind) {
        case GroupKind::Say:
        case GroupKind::Tell:
            line(m.where);
            line(m.handle);
            line(std::to_string(static_cast<int>(m.type)));
            out += m.body;
            break;
        case GroupKind::Show:
            line(m.where);
            line(m.handle);
            line(std::to_string(m.count) + " " + std::to_string(m.sides) + " " +
                 std::to_string(m.rule) + " " + std::to_string(m.parameter) +
                 (m.secret ? " 1" : " 0"));
            line(m.id);
            out += m.body;
            break;
        case GroupKind::State:
            for (const GroupUser& u : m.users) {
                line(u.handle + " " + (u.channel.empty() ? std::string(kNoChannel) : u.channel) +
                     " " + u.address + (u.master ? " 1" : " 0"));
            }
            break;
        case GroupKind::Sync:
        case GroupKind::Bye:
            break;
    }
    return out;
}

std::optional<GroupMessage> ParseGroupMessage(std::string_view bytes, std::string& why) {
    Fields fields(bytes);
    const std::optional<std::string_view> head = fields.Line();
    if (!head) {
        return Fail(why, "no header line");
    }
    const std::vector<std::string_view> words = Words(*head);
    if (words.size() != 3 || words[0] != kMagic) {
        return Fail(why, "not a group message");
    }
    const std::optional<GroupKind> kind = KindOf(words[1]);
    if (!kind) {
        return Fail(why, "unknown kind");
    }
    if (!ValidRelayName(words[2])) {
        return Fail(why, "bad relay name");
    }
    GroupMessage m;
    m.kind = *kind;
    m.relay = std::string(words[2]);
    switch (m.kind) {
        case GroupKind::Say:
        case GroupKind::Tell: {
            const std::optional<std::string_view> where = fields.Line();
            const std::optional<std::string_view> handle = fields.Line();
            const std::optional<std::string_view> type = fields.Line();
            if (!where || !handle || !type) {
                return Fail(why, "missing fields");
            }
            const bool whereOk =
                m.kind == GroupKind::Say ? ValidChannel(*where) : ValidName(*where);
            if (!whereOk || !ValidName(*handle)) {
                return Fail(why, "bad channel or handle");
            }
            const std::optional<int> code = Whole(*type, 0, 255);
            if (!code || fields.Rest().size() > kMaxBodyBytes) {
                return Fail(why, "bad content type or body");
            }
            m.where = std::string(*where);
            m.handle = std::string(*handle);
            m.type = static_cast<ContentType>(*code);
            m.body = std::string(fields.Rest());
            return m;
        }
        case GroupKind::Show: {
            const std::optional<std::string_view> where = fields.Line();
            const std::optional<std::string_view> handle = fields.Line();
            const std::optional<std::string_view> dice = fields.Line();
            const std::optional<std::string_view> id = fields.Line();
            if (!where || !handle || !dice || !id) {
                return Fail(why, "missing fields");
            }
            if (!ValidChannel(*where) || !ValidName(*handle)) {
                return Fail(why, "bad channel or handle");
            }
            const std::vector<std::string_view> numbers = Words(*dice);
            if (numbers.size() != 5) {
                return Fail(why, "bad dice line");
            }
            const std::optional<int> count = Whole(numbers[0], 1, kMaxDice);
            const std::optional<int> sides = Whole(numbers[1], 1, kMaxSides);
            const std::optional<int> rule = Whole(numbers[2], 0, kMaxRule);
            const std::optional<int> parameter = Whole(numbers[3], 0, 255);
            if (!count || !sides || !rule || !parameter ||
                (numbers[4] != "0" && numbers[4] != "1")) {
                return Fail(why, "bad dice line");
            }
            // The ID goes to every recipient unchanged: never a server-assigned one, never
            // a control byte.
            if (id->size() > kMaxNameBytes || id->starts_with("s***") ||
                (!id->empty() && !Printable(*id))) {
                return Fail(why, "bad roll ID");
            }
            if (fields.Rest().size() > kMaxBodyBytes || !IsDiceLines(fields.Rest())) {
                return Fail(why, "bad dice");
            }
            m.where = std::string(*where);
            m.handle = std::string(*handle);
            m.count = *count;
            m.sides = *sides;
            m.rule = *rule;
            m.parameter = *parameter;
            m.secret = numbers[4] == "1";
            m.id = std::string(*id);
            m.body = std::string(fields.Rest());
            return m;
        }
        case GroupKind::State:
            while (!fields.Rest().empty()) {
                const std::optional<std::string_view> line = fields.Line();
                std::optional<GroupUser> user = line ? ParseUser(*line) : std::nullopt;
                if (!user || m.users.size() >= static_cast<std::size_t>(kMaxClientNumber)) {
                    return Fail(why, "bad user line");
                }
                m.users.push_back(std::move(*user));
            }
            return m;
        case GroupKind::Sync:
        case GroupKind::Bye:
            if (!fields.Rest().empty()) {
                return Fail(why, "unexpected body");
            }
            return m;
    }
    return Fail(why, "unknown kind");
}

}  // namespace tessel::relay
