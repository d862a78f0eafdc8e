// SPDX-License-Identifier: MIT

#pragma once

#include <gtest/gtest.h>

#include "protocol/ProtocolState.h"

namespace tessel::test {

// Every protocol test starts as a fresh client would: client number 255, sequence 0, no
// own rolls, no pending handle or channel.
class ProtocolStateTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetProtocolState(); }
    void TearDown() override { ResetProtocolState(); }
};

}  // namespace tessel::test
