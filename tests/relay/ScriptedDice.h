// SPDX-License-Identifier: MIT

#pragma once

#include <deque>
#include <vector>

#include "relay/DiceRoller.h"

namespace tessel::relay::test {

// Dice that show the given values in order, then `fallback` for ever after.
class ScriptedDice : public DiceSource {
  public:
    explicit ScriptedDice(const std::vector<int>& values, int fallback = 1)
        : values_(values.begin(), values.end()), fallback_(fallback) {}

    int Roll(int sides) override {
        ++rolls_;
        lastSides_ = sides;
        if (values_.empty()) {
            return fallback_;
        }
        const int v = values_.front();
        values_.pop_front();
        return v;
    }

    int rolls() const { return rolls_; }
    int lastSides() const { return lastSides_; }

  private:
    std::deque<int> values_;
    int fallback_;
    int rolls_ = 0;
    int lastSides_ = 0;
};

}  // namespace tessel::relay::test
