#pragma once

#include <cstdint>
#include <optional>
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

// Turns one typed or macro command text into a complete request in `message`: command line,
// ID, body and content type. Text that is no request becomes a chat message to everyone.
void PrepareOutgoing(ProtocolMessage& message, std::string_view text);

}  // namespace tessel
