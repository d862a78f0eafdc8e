// SPDX-License-Identifier: MIT

#include "relay/RelayOptions.h"

#include <gtest/gtest.h>

#include "version/Version.h"

namespace tessel::relay {
namespace {

using namespace std::chrono_literals;

ParsedOptions Parse(std::vector<std::string_view> args) {
    return ParseOptions(args);
}

TEST(RelayOptions, DefaultsWithoutArguments) {
    const RelayConfig c = std::get<RelayConfig>(Parse({}));
    EXPECT_EQ(c.address, "127.0.0.1");
    EXPECT_EQ(c.port, 3962);
    EXPECT_FALSE(c.seed.has_value());
    EXPECT_EQ(c.probeInterval, 60s);
    EXPECT_EQ(c.probeTimeout, 30s);
    EXPECT_EQ(c.maxClients, 256);
    EXPECT_FALSE(c.crlf);
}

TEST(RelayOptions, ReadsEveryOption) {
    const RelayConfig c = std::get<RelayConfig>(
        Parse({"--listen", "0.0.0.0:4000", "--seed=99", "--probe-interval", "0.25",
               "--probe-timeout=2", "--max-clients", "999", "--crlf"}));
    EXPECT_EQ(c.address, "0.0.0.0");
    EXPECT_EQ(c.port, 4000);
    EXPECT_EQ(c.seed, 99u);
    EXPECT_EQ(c.probeInterval, 250ms);
    EXPECT_EQ(c.probeTimeout, 2s);
    EXPECT_EQ(c.maxClients, 999);
    EXPECT_TRUE(c.crlf);
}

TEST(RelayOptions, HelpWins) {
    EXPECT_TRUE(std::holds_alternative<ShowHelp>(Parse({"--seed", "1", "--help"})));
    EXPECT_NE(UsageText().find("--probe-interval S"), std::string::npos);
}

TEST(RelayOptions, VersionIsAnsweredBeforeAnythingElse) {
    for (const std::vector<std::string_view>& args : {std::vector<std::string_view>{"--version"},
                                                      {"--seed", "1", "--version"},
                                                      {"--version", "--max-clients", "5000"}}) {
        EXPECT_TRUE(std::holds_alternative<ShowVersion>(Parse(args)));
    }
    EXPECT_EQ(VersionText(), "tessel-relay " + std::string(kVersion) + "\n");
    EXPECT_NE(UsageText().find("--version"), std::string::npos);
}

class BadOption : public ::testing::TestWithParam<std::vector<std::string_view>> {};

TEST_P(BadOption, IsRefusedWithAMessage) {
    const ParsedOptions parsed = Parse(GetParam());
    ASSERT_TRUE(std::holds_alternative<OptionsError>(parsed));
    EXPECT_FALSE(std::get<OptionsError>(parsed).message.empty());
}

INSTANTIATE_TEST_SUITE_P(
    RelayOptions, BadOption,
    ::testing::Values(std::vector<std::string_view>{"--bogus"},
                      std::vector<std::string_view>{"--listen"},
                      std::vector<std::string_view>{"--listen", "localhost:1"},
                      std::vector<std::string_view>{"--listen", "127.0.0.1"},
                      std::vector<std::string_view>{"--listen", "127.0.0.1:65536"},
                      std::vector<std::string_view>{"--seed", "-1"},
                      std::vector<std::string_view>{"--seed", "12x"},
                      std::vector<std::string_view>{"--probe-interval", "0"},
                      std::vector<std::string_view>{"--probe-timeout", "nan"},
                      std::vector<std::string_view>{"--probe-timeout", "100000"},
                      std::vector<std::string_view>{"--max-clients", "0"},
                      std::vector<std::string_view>{"--max-clients", "1000"},
                      std::vector<std::string_view>{"--crlf=1"},
                      std::vector<std::string_view>{"extra"}));

}  // namespace
}  // namespace tessel::relay
