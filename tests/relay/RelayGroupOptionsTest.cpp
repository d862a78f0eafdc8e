// SPDX-License-Identifier: MIT

// The command line of a relay that joins a group.

#include <gtest/gtest.h>

#include <string_view>
#include <variant>
#include <vector>

#include "relay/RelayOptions.h"

namespace tessel::relay {
namespace {

using namespace std::chrono_literals;

TEST(RelayGroupOptions, AloneUnlessRedisIsGiven) {
    const RelayConfig c = std::get<RelayConfig>(ParseOptions({}));
    EXPECT_FALSE(c.redisHost.has_value());
    EXPECT_EQ(c.groupExpiry, 30s);
}

TEST(RelayGroupOptions, ReadsRedisNameAndExpiry) {
    const RelayConfig c = std::get<RelayConfig>(ParseOptions(
        {"--redis", "redis.example:6380", "--relay-name=table-2", "--group-expiry", "1.5"}));
    EXPECT_EQ(c.redisHost, "redis.example");
    EXPECT_EQ(c.redisPort, 6380);
    EXPECT_EQ(c.relayName, "table-2");
    EXPECT_EQ(c.groupExpiry, 1500ms);
    EXPECT_NE(UsageText().find("--redis HOST:PORT"), std::string::npos);
}

class BadGroupOption : public ::testing::TestWithParam<std::vector<std::string_view>> {};

TEST_P(BadGroupOption, IsRefusedWithAMessage) {
    const ParsedOptions parsed = ParseOptions(GetParam());
    ASSERT_TRUE(std::holds_alternative<OptionsError>(parsed));
    EXPECT_FALSE(std::get<OptionsError>(parsed).message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    RelayGroupOptions, BadGroupOption,
    ::testing::Values(std::vector<std::string_view>{"--redis"},
                      std::vector<std::string_view>{"--redis", "localhost"},
                      std::vector<std::string_view>{"--redis", ":6379"},
                      std::vector<std::string_view>{"--redis", "localhost:0"},
                      std::vector<std::string_view>{"--redis", "localhost:70000"},
                      std::vector<std::string_view>{"--redis", "h:1", "--relay-name", "a b"},
                      std::vector<std::string_view>{"--redis", "h:1", "--relay-name", ""},
                      std::vector<std::string_view>{"--relay-name", "alone"},
                      std::vector<std::string_view>{"--redis", "h:1", "--group-expiry", "0.1"}));

}  // namespace
}  // namespace tessel::relay
