// SPDX-License-Identifier: MIT

#include "protocol/CommandParser.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>

#include "protocol/Charset.h"
#include "protocol/DiceRules.h"
#include "protocol/Words.h"

namespace tessel {
namespace {

constexpr std::size_t kFreeTextLimit = kBodySize;
constexpr std::int32_t kMaxModifier = 999;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

struct RuleLetter {
    char letter;
    std::int32_t rule;
    std::int32_t parameter;
    bool fake;
};

constexpr RuleLetter kRuleLetters[] = {
    {'a', kAnyMaximum, 0, false}, {'t', kBerserk, 0, false}, {'k', kBerserk, 1, false},
    {'d', kDoubles, 0, false},    {'m', kAtLeast, 0, false}, {'f', kPlain, 0, true},
};

// What bsk and bsk2 stand for: a re-roll of an own roll under the berserk rule.
std::string BerserkReroll() {
    return "REROLL " + std::to_string(kBerserk);
}

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string FourNumbers(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%d %d %d %d", a, b, c, d);
    return buffer;
}

// Words 1 to 4 joined by single blanks; missing words are empty and the blanks stay.
std::string WordsOneToFour(std::string_view line) {
    std::string out(WordAt(line, 1));
    for (int n = 2; n <= 4; ++n) {
        out += ' ';
        out += WordAt(line, n);
    }
    return out;
}

// Re-roll arguments: count and sides of the slot, then the typed rule and parameter or the
// slot's own.
std::string ReRollArguments(std::string_view line, const OwnRoll& slot) {
    std::string out = std::to_string(slot.count) + ' ' + std::to_string(slot.sides) + ' ';
    const std::string_view rule = WordAt(line, 1);
    out += rule.empty() ? std::to_string(slot.rule) : std::string(rule);
    out += ' ';
    const std::string_view parameter = WordAt(line, 2);
    out += parameter.empty() ? std::to_string(slot.parameter) : std::string(parameter);
    return out;
}

// The longest prefix of a Shift-JIS text within `limit` bytes that does not end inside a
// two-byte character.
std::string_view CharacterPrefix(std::string_view text, std::size_t limit) {
    std::size_t p = 0;
    while (p < text.size()) {
        const std::size_t width = ShiftJisCharLength(text, p);
        if (p + width > limit) {
            break;
        }
        p += width;
    }
    return text.substr(0, std::min(p, text.size()));
}

CommandCode ParseDiceExpression(ProtocolMessage& message, const DiceExpression& dice,
                                bool buildIds) {
    if (dice.hasModifier) {
        message.rollSlot = dice.modifier;
        if (buildIds && dice.modifier != 0) {
            message.id.assign(ModifierId(dice.modifier));
        }
    }
    const std::string numbers = FourNumbers(dice.count, dice.sides, dice.rule, dice.parameter);
    message.arguments.assign(numbers);
    if (!dice.fake) {
        return CommandCode::Roll;
    }
    // The fake values and the note ride behind the four numbers; the request line carries only
    // the numbers, so a rewritten line that is too long loses nothing that goes on the wire.
    std::string line = "FAKEROLL " + numbers + ' ';
    line += RestFrom(message.commandLine.view(), 1);
    message.commandLine.assign(CharacterPrefix(line, decltype(message.commandLine)::kMaxLength));
    return CommandCode::FakeRoll;
}

std::string ArgumentsFor(CommandCode code, std::string_view line, std::int32_t rollSlot) {
    switch (code) {
        case CommandCode::Open:
        case CommandCode::Mode:
        case CommandCode::SendMesg:
        case CommandCode::Join:
            return std::string(WordAt(line, 1));
        case CommandCode::Roll:
        case CommandCode::FakeRoll:
        case CommandCode::Operate:
            return WordsOneToFour(line);
        case CommandCode::ReRoll:
            return ReRollArguments(line, OwnRollSlot(rollSlot));
        case CommandCode::Response:
            return std::string(WordAt(line, 2));
        default:
            return {};
    }
}

// The note of a roll (converted for the wire) goes into the ID: a fresh note ID when the roll
// has none yet, otherwise behind the modifier.
void PutNoteInId(ProtocolMessage& message, std::string_view euCNote) {
    if (message.id.empty()) {
        message.id.assign(NoteId(euCNote));
    } else {
        AppendNoteToId(message.id, euCNote);
    }
}

// ID of a replayed roll from one of the own-roll slots. The slot keeps its note as shown
// (Shift-JIS); the ID carries it as every receiver reads it, in EUC-JP, and only as much of it
// as the ID has room for, in whole characters.
void SetIdFromSlot(ProtocolMessage& message, const OwnRoll& slot) {
    if (slot.modifier != 0) {
        message.id.assign(ModifierId(slot.modifier));
    }
    if (!slot.note.empty()) {
        constexpr std::size_t kNoteRoom = MessageIdText::kMaxLength - kNotePosition - 1;
        PutNoteInId(message, ToEuc(slot.note.view(), kNoteRoom + 2));
    }
}

// The note of a roll line: its second word, in the ID only when it fits there. The ROLL
// command takes none.
struct RollNote {
    std::string_view word;
    std::string euc;
    bool fits = false;
};

RollNote RollNoteOf(std::string_view text) {
    if (WordAt(text, 0) == "ROLL") {
        return {};
    }
    RollNote note{WordAt(text, 1), {}, false};
    note.euc = ToEuc(note.word, kFreeTextLimit);
    note.fits = note.euc.size() <= kMaxNoteLength;
    return note;
}

void PrepareRoll(ProtocolMessage& message, std::string_view text) {
    const RollNote note = RollNoteOf(text);
    if (note.fits) {
        PutNoteInId(message, note.euc);
    }
}

// The sound file an "s" line asks everyone to play.
std::string SoundFileOf(std::string_view text) {
    return std::string(WordAt(text, 1)) + ".wav";
}

// The values of a fake roll (each line-feed-terminated, as the body carries them) and the note
// word after them.
struct FakeValues {
    std::string body;
    RollNote note;
};

FakeValues FakeValuesOf(std::string_view text) {
    FakeValues fake;
    int n = text.starts_with("FAKEROLL") ? 5 : 1;
    std::string_view word = WordAt(text, n);
    while (!word.empty() && IsDigit(word.front())) {
        fake.body += word;
        fake.body += '\n';
        word = WordAt(text, ++n);
    }
    fake.note.word = word;
    fake.note.euc = ToEuc(word, kFreeTextLimit);
    fake.note.fits = fake.note.euc.size() <= kMaxNoteLength;
    return fake;
}

void PrepareMessage(ProtocolMessage& message, std::string_view text) {
    const std::string_view word = WordAt(text, 0);
    if (word == "s" || word == "S") {
        const std::string body = "CC SOUNDPLAY " + SoundFileOf(text);
        message.body.assign(body);
        message.contentType = ContentType::Binary;
    } else {
        std::string body;
        if (message.arguments.view() != "*") {
            body = "to " + message.arguments.str() + ": ";
        }
        body += RestFrom(text, 2);
        message.body.assign(ToEuc(body, kFreeTextLimit));
        message.contentType = ContentType::Euc;
    }
    message.contentLength = static_cast<std::int32_t>(message.body.size());
}

void PrepareReRoll(ProtocolMessage& message) {
    const OwnRoll slot = OwnRollSlot(message.rollSlot);
    message.contentType = ContentType::Result;
    message.body.assign(slot.diceText.view());
    SetIdFromSlot(message, slot);
    message.contentLength = static_cast<std::int32_t>(message.body.size());
}

void PrepareFakeRoll(ProtocolMessage& message, std::string_view text) {
    message.contentType = ContentType::Result;
    message.body.clear();
    if (WordAt(text, 0) == "fake") {
        const OwnRoll last = LastOwnRoll();
        message.body.assign(last.diceText.view());
        SetIdFromSlot(message, last);
        message.contentLength = static_cast<std::int32_t>(message.body.size());
        return;
    }
    const FakeValues fake = FakeValuesOf(text);
    message.body.assign(fake.body);
    if (!fake.note.fits) {
        // An over-long note withholds the body: the request goes out with no dice at all.
        message.contentLength = 0;
        return;
    }
    PutNoteInId(message, fake.note.euc);
    message.contentLength = static_cast<std::int32_t>(message.body.size());
}

void PrepareChat(ProtocolMessage& message, std::string_view text) {
    const std::string body = ToEuc(text, kFreeTextLimit);
    message.SetCommandLine("SENDMESG *", ContentType::Euc, 0);
    message.body.assign(body);
    message.contentLength = static_cast<std::int32_t>(message.body.size());
}

}  // namespace

std::optional<DiceExpression> ReadDiceExpression(std::string_view text) {
    std::size_t p = 0;
    if (text.empty() || !IsDigit(text[0])) {
        return std::nullopt;
    }
    DiceExpression dice;
    dice.count = ReadDigits(text, p);
    if (p >= text.size() || Lower(text[p]) != 'd') {
        return std::nullopt;
    }
    ++p;
    dice.sides = ReadDigits(text, p);
    if (p < text.size()) {
        for (const RuleLetter& rule : kRuleLetters) {
            if (Lower(text[p]) == rule.letter) {
                dice.rule = rule.rule;
                dice.parameter = rule.parameter;
                dice.fake = rule.fake;
                ++p;
                break;
            }
        }
    }
    if (p < text.size() && Lower(text[p]) == 'f') {
        dice.fake = true;
        ++p;
    }
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        const bool negative = text[p] == '-';
        ++p;
        // The message ID carries the modifier in three digits; a larger one would be cut there
        // and every viewer, the roller included, would read a different roll.
        const std::int32_t magnitude = std::min(ReadDigits(text, p), kMaxModifier);
        dice.hasModifier = true;
        dice.modifier = negative ? -magnitude : magnitude;
    }
    return dice;
}

CommandCode ParseCommandText(ProtocolMessage& message, bool buildIds) {
    message.arguments.clear();
    // A request being re-classified for its header keeps the own-roll slot that the first
    // classification chose, so a bsk2 line names the same roll as its body and ID.
    if (buildIds) {
        message.rollSlot = 0;
    }

    const std::string_view line = message.commandLine.view();
    if (!line.empty() && (line.front() == '\n' || line.front() == '\r')) {
        return CommandCode::None;
    }

    const std::string word(WordAt(line, 0));
    if (word == "r" || word == "R") {
        message.commandLine.assign(SprollText());
    }
    if (word == "bsk") {
        message.rollSlot = 0;
        message.commandLine.assign(BerserkReroll());
    }
    if (word == "bsk2") {
        message.rollSlot = 1;
        message.commandLine.assign(BerserkReroll());
    }
    if (word == "fake") {
        const OwnRoll last = LastOwnRoll();
        message.rollSlot = 1;
        message.commandLine.assign("FAKEROLL " +
                                   FourNumbers(last.count, last.sides, last.rule, last.parameter));
    }

    if (const auto dice = ReadDiceExpression(message.commandLine.view())) {
        return ParseDiceExpression(message, *dice, buildIds);
    }

    const std::string_view current = message.commandLine.view();
    const std::string_view first = WordAt(current, 0);
    if (first == "m" || first == "M") {
        message.arguments.assign(WordAt(current, 1));
        return CommandCode::SendMesg;
    }
    if (first == "s" || first == "S") {
        message.arguments.assign("*");
        return CommandCode::SendMesg;
    }

    const CommandCode code = WordCode(current);
    message.arguments.assign(ArgumentsFor(code, current, message.rollSlot));
    return code;
}

void PrepareOutgoing(ProtocolMessage& message, std::string_view text) {
    text = TextOf(text);
    message.SetCommandLine(text.substr(0, decltype(message.commandLine)::kMaxLength),
                           ContentType::Other, 0);
    switch (message.command) {
        case CommandCode::Open:
        case CommandCode::Join:
        case CommandCode::Operate:
            message.id.assign(CommandId(message.command));
            break;
        case CommandCode::Roll:
            PrepareRoll(message, text);
            break;
        case CommandCode::SendMesg:
            PrepareMessage(message, text);
            break;
        case CommandCode::ReRoll:
            PrepareReRoll(message);
            break;
        case CommandCode::FakeRoll:
            PrepareFakeRoll(message, text);
            break;
        case CommandCode::None:
        case CommandCode::List:
        case CommandCode::Close:
        case CommandCode::Mode:
        case CommandCode::GetUser:
        case CommandCode::Cmd:
            break;
        default:
            PrepareChat(message, text);
            break;
    }
}

TypedLineIntent ReadTypedLine(std::string_view typed) {
    using Kind = TypedLineIntent::Kind;
    TypedLineIntent intent;
    // As the input pane hands it over: cut to what a command may hold, at a character.
    std::string_view text = typed;
    if (text.size() > kMaxCommandText) {
        text = CharacterPrefix(text, kMaxCommandText);
        intent.cut = true;
    }
    intent.sentBytes = text.size();
    text = TextOf(text);
    if (text.empty()) {
        return intent;  // the connection thread drops an empty command
    }

    // The classification PrepareOutgoing makes, without the message IDs it would build.
    ProtocolMessage message;
    message.commandLine.assign(text.substr(0, decltype(message.commandLine)::kMaxLength));
    intent.code = ParseCommandText(message, false);
    const std::string_view line = message.commandLine.view();
    const std::string_view arguments = message.arguments.view();
    const auto argument = [&](int n) { return ReadDecimal(WordAt(arguments, n)); };
    const auto fourNumbers = [&] {
        DiceExpression dice;
        dice.count = argument(0);
        dice.sides = argument(1);
        dice.rule = argument(2);
        dice.parameter = argument(3);
        return dice;
    };

    switch (intent.code) {
        case CommandCode::None:
            break;
        case CommandCode::Roll: {
            intent.kind = Kind::Roll;
            intent.dice = ReadDiceExpression(line).value_or(fourNumbers());
            const RollNote note = RollNoteOf(text);
            intent.note = std::string(note.word);
            intent.noteTooLong = !note.word.empty() && !note.fits;
            break;
        }
        case CommandCode::FakeRoll: {
            if (WordAt(text, 0) == "fake") {
                intent.kind = Kind::FakeRollReplay;
                intent.rollSlot = 0;
                intent.ownRoll = LastOwnRoll();
                break;
            }
            intent.kind = Kind::FakeRoll;
            const std::optional<DiceExpression> typedDice = ReadDiceExpression(text);
            intent.dice = fourNumbers();
            if (typedDice) {
                intent.dice.hasModifier = typedDice->hasModifier;
                intent.dice.modifier = typedDice->modifier;
                intent.dice.fake = true;
            }
            const FakeValues fake = FakeValuesOf(text);
            for (const char c : fake.body) {
                intent.values += c == '\n' ? ' ' : c;
            }
            if (!intent.values.empty()) {
                intent.values.pop_back();
            }
            intent.note = std::string(fake.note.word);
            intent.noteTooLong = !fake.note.fits;
            break;
        }
        case CommandCode::ReRoll:
            intent.kind = Kind::ReRoll;
            intent.rollSlot = message.rollSlot;
            intent.ownRoll = OwnRollSlot(message.rollSlot);
            // The rule and parameter the request names: typed, or the roll's own.
            intent.dice = fourNumbers();
            break;
        case CommandCode::SendMesg:
            if (const std::string_view first = WordAt(text, 0); first == "s" || first == "S") {
                intent.kind = Kind::SoundRequest;
                intent.word = SoundFileOf(text);
            } else if (arguments == "*") {
                intent.kind = Kind::Chat;
            } else {
                intent.kind = Kind::PrivateMessage;
                intent.target = std::string(arguments);
            }
            break;
        case CommandCode::Open:
        case CommandCode::Join:
        case CommandCode::Operate:
        case CommandCode::List:
        case CommandCode::Close:
        case CommandCode::Mode:
        case CommandCode::GetUser:
            intent.kind = Kind::ServerCommand;
            intent.word = std::string(WordOf(intent.code));
            intent.argument = std::string(WordAt(arguments, 0));
            break;
        case CommandCode::Cmd:
            intent.kind = WordAt(line, 1) == "QUIT" ? Kind::Quit : Kind::LocalNothing;
            break;
        default:
            intent.kind = Kind::Chat;
            break;
    }
    return intent;
}

}  // namespace tessel
