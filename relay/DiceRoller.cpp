// SPDX-License-Identifier: MIT

#include "relay/DiceRoller.h"

#include <sys/random.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

#include "relay/RelayLimits.h"

namespace tessel::relay {
namespace {

// A value from 1 to sides out of raw 64-bit draws, rejecting the top partial range so that
// every face is equally likely.
template <typename Draw>
int Reduce(int sides, Draw draw) {
    if (sides <= 1) {
        return 1;
    }
    const auto range = static_cast<std::uint64_t>(sides);
    const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max() -
                                std::numeric_limits<std::uint64_t>::max() % range;
    std::uint64_t x = draw();
    while (x >= limit) {
        x = draw();
    }
    return static_cast<int>(x % range) + 1;
}

int CountAtMaximum(const DiceRoll& roll, std::span<const int> round) {
    return static_cast<int>(std::count(round.begin(), round.end(), roll.sides));
}

bool AllSameWithTwoOrMore(std::span<const int> round) {
    return round.size() >= 2 &&
           std::all_of(round.begin(), round.end(), [&](int v) { return v == round.front(); });
}

bool AnyPair(std::span<const int> round) {
    std::array<bool, kMaxSides + 1> seen{};
    for (const int v : round) {
        const auto face = static_cast<std::size_t>(std::clamp(v, 0, kMaxSides));
        if (seen[face]) {
            return true;
        }
        seen[face] = true;
    }
    return false;
}

// The re-roll rules, one row each: given a finished round, how many dice the next one has.
using NextRound = int (*)(const DiceRoll&, std::span<const int>);

struct RuleRow {
    int rule;
    NextRound next;
};

constexpr std::array kRules = {
    // 1: again when any die shows the maximum.
    RuleRow{1, [](const DiceRoll& s,
                  std::span<const int> r) { return CountAtMaximum(s, r) > 0 ? s.count : 0; }},
    // 2: again when every die shows the maximum.
    RuleRow{2,
            [](const DiceRoll& s, std::span<const int> r) {
                return !r.empty() && CountAtMaximum(s, r) == static_cast<int>(r.size()) ? s.count
                                                                                        : 0;
            }},
    // 7: with parameter 0, again on any two equal dice; otherwise only when all are equal.
    RuleRow{7,
            [](const DiceRoll& s, std::span<const int> r) {
                const bool again = s.parameter == 0 ? AnyPair(r) : AllSameWithTwoOrMore(r);
                return again ? s.count : 0;
            }},
    // 9: again when all dice are equal, with two or more dice.
    RuleRow{9, [](const DiceRoll& s,
                  std::span<const int> r) { return AllSameWithTwoOrMore(r) ? s.count : 0; }},
    // 10: one new die for each die showing at least sides - parameter.
    RuleRow{10,
            [](const DiceRoll& s, std::span<const int> r) {
                const int threshold = s.sides - s.parameter;
                return static_cast<int>(
                    std::count_if(r.begin(), r.end(), [&](int v) { return v >= threshold; }));
            }},
};

}  // namespace

int SeededDice::Roll(int sides) {
    return Reduce(sides, [this] { return static_cast<std::uint64_t>(engine_()); });
}

int SystemDice::Roll(int sides) {
    return Reduce(sides, [this] { return Next(); });
}

std::uint64_t SystemDice::Next() {
    if (used_ == std::size(block_)) {
        auto* bytes = reinterpret_cast<char*>(block_);
        std::size_t filled = 0;
        while (filled < sizeof block_) {
            const ssize_t n = ::getrandom(bytes + filled, sizeof block_ - filled, 0);
            if (n < 0) {
                if (errno == EINTR) {
                    continue;
                }
                // Without its random source the relay cannot roll fair dice, and it must not
                // quietly roll predictable ones instead. Start-up checked the source, so
                // this is the kernel failing under us.
                std::fputs("tessel-relay: the system random source failed\n", stderr);
                std::abort();
            }
            filled += static_cast<std::size_t>(n);
        }
        used_ = 0;
    }
    return block_[used_++];
}

bool SystemDice::Available() {
    std::uint64_t probe = 0;
    ssize_t n = -1;
    do {
        n = ::getrandom(&probe, sizeof probe, 0);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof probe);
}

std::unique_ptr<DiceSource> MakeDiceSource(std::optional<std::uint64_t> seed) {
    if (seed) {
        return std::make_unique<SeededDice>(*seed);
    }
    return std::make_unique<SystemDice>();
}

int NextRoundDice(const DiceRoll& roll, std::span<const int> round) {
    for (const RuleRow& row : kRules) {
        if (row.rule == roll.rule) {
            return std::clamp(row.next(roll, round), 0, kMaxDice);
        }
    }
    return 0;  // rule 0 and every rule without a row: one round
}

std::optional<std::string> RollRounds(const DiceRoll& roll, DiceSource& dice, std::size_t room) {
    std::string text;
    std::vector<int> round;
    int count = std::clamp(roll.count, 0, kMaxDice);
    for (int r = 0; r < kMaxRounds && count > 0; ++r) {
        round.clear();
        std::string roundText = r == 0 ? "" : "0\n";
        for (int i = 0; i < count; ++i) {
            const int value = dice.Roll(roll.sides);
            round.push_back(value);
            roundText.append(std::to_string(value)).push_back('\n');
        }
        if (text.size() + roundText.size() > room) {
            if (r == 0) {
                return std::nullopt;
            }
            break;
        }
        text += roundText;
        count = NextRoundDice(roll, round);
    }
    return text;
}

}  // namespace tessel::relay
