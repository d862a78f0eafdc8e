// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/ProtocolMessage.h"

namespace tessel {

// A typed dice expression such as 2d6+1, 3d10a or 2d6f.
struct DiceExpression {
    std::int32_t count = 0;
    std::int32_t sides = 0;
    std::int32_t rule = 0;
    std::int32_t parameter = 0;
    bool fake = false;
    bool hasModifier = false;
    std::int32_t modifier = 0;

    friend bool operator==(const DiceExpression&, const DiceExpression&) = default;
};

// Reads a dice expression at the start of `text`: digits, d or D, digits, an optional rule
// letter, an optional fake mark and an optional signed modifier (at most 999 either way, all
// its message ID can carry). Anything after it is ignored. Empty when the text does not start with
// digits followed by d or D.
std::optional<DiceExpression> ReadDiceExpression(std::string_view text);

// Classifies the message's command line, derives its arguments, and rewrites the line for
// the shorthand forms (r, bsk, bsk2, fake, fake dice expressions). With `buildIds` a
// modifier of a dice expression also gets its message ID.
CommandCode ParseCommandText(ProtocolMessage& message, bool buildIds);

// What Enter would do with a typed line, read by the classification that prepares its request.
// Reading it sends nothing, takes no message ID and changes no state, so it may run on every
// keystroke.
struct TypedLineIntent {
    enum class Kind {
        Nothing,         // nothing goes: an empty line, or one starting with a line end
        Chat,            // a message to everyone in the channel
        Roll,            // a dice expression, r, or ROLL
        FakeRoll,        // a dice expression with f, or FAKEROLL: the values typed
        FakeRollReplay,  // fake: the last own roll again, as a fake roll
        ReRoll,          // bsk, bsk2, REROLL
        PrivateMessage,  // m (or SENDMESG) to one handle
        SoundRequest,    // s
        ServerCommand,   // OPEN, JOIN, CLOSE, MODE, GETUSER, LIST, OPERATE
        Quit,            // CMD QUIT: the program ends, nothing is sent
        LocalNothing,    // CMD with anything else: nothing happens
    };
    Kind kind = Kind::Nothing;
    CommandCode code = CommandCode::None;
    DiceExpression dice;        // Roll, FakeRoll: as the request carries them
    std::string note;           // Roll, FakeRoll: the note word (Shift-JIS)
    bool noteTooLong = false;   // a roll then goes without its note, a fake roll without values
    std::string values;         // FakeRoll: the values typed, blank-separated
    std::int32_t rollSlot = 0;  // ReRoll, FakeRollReplay: 0 the last own roll, 1 the one before
    OwnRoll ownRoll;            // ReRoll, FakeRollReplay: what that slot holds
    std::string target;         // PrivateMessage: the handle
    std::string word;           // SoundRequest: the file asked for; ServerCommand: its word
    std::string argument;       // ServerCommand: its first argument as the request carries it
    std::size_t sentBytes = 0;  // how much of the line goes
    bool cut = false;           // the line is longer than a command may be: only a prefix goes
};

TypedLineIntent ReadTypedLine(std::string_view text);

// Turns one typed or macro command text into a complete request in `message`: command line,
// ID, body and content type. Text that is no request becomes a chat message to everyone.
void PrepareOutgoing(ProtocolMessage& message, std::string_view text);

}  // namespace tessel
