// SPDX-License-Identifier: MIT

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <span>
#include <string>

namespace tessel::relay {

// Where die values come from: each call gives one value from 1 to `sides`, uniformly.
class DiceSource {
  public:
    virtual ~DiceSource() = default;
    virtual int Roll(int sides) = 0;
};

// A repeatable sequence for tests and demos. The reduction to 1..sides is our own
// (rejection sampling on the raw 64-bit output), so a seed gives the same dice with any
// standard library.
class SeededDice : public DiceSource {
  public:
    explicit SeededDice(std::uint64_t seed) : engine_(seed) {}
    int Roll(int sides) override;

  private:
    std::mt19937_64 engine_;
};

// The system's random source (getrandom), read in blocks, unbiased.
class SystemDice : public DiceSource {
  public:
    int Roll(int sides) override;

    // Whether the source can be read at all; checked once at start-up.
    static bool Available();

  private:
    std::uint64_t Next();

    std::uint64_t block_[32] = {};
    std::size_t used_ = 32;
};

std::unique_ptr<DiceSource> MakeDiceSource(std::optional<std::uint64_t> seed);

struct DiceRoll {
    int count = 0;  // dice of the first round
    int sides = 0;
    int rule = 0;
    int parameter = 0;
};

// How many dice the round after `round` has under the roll's rule; 0 ends the roll.
int NextRoundDice(const DiceRoll& roll, std::span<const int> round);

// Rolls by the rule: at most 10 rounds, one value per line, rounds separated by a "0" line.
// A round whose text would take the result past `room` bytes is not added and ends the
// roll; nothing when not even the first round fits.
std::optional<std::string> RollRounds(const DiceRoll& roll, DiceSource& dice, std::size_t room);

}  // namespace tessel::relay
