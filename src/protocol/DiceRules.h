// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>

namespace tessel {

// The re-roll rules a ROLL request names and a SHOW result repeats: the one list of their
// codes for the parser, the renderer and everything between.
enum DiceRule : std::int32_t {
    kPlain = 0,       // one round
    kAnyMaximum = 1,  // roll again while any die shows its maximum
    kAllMaximum = 2,  // roll again while every die shows its maximum
    kBerserk = 7,     // the re-roll of bsk and bsk2
    kDoubles = 9,     // roll again on doubles
    kAtLeast = 10,    // roll again the dice at or above the threshold
};

// A result's parameter of this value or more marks a re-roll; the rest is the rule's own
// parameter.
inline constexpr std::int32_t kRerollFlag = 128;

}  // namespace tessel
