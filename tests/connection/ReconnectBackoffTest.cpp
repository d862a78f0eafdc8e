// SPDX-License-Identifier: MIT

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <vector>

#include "connection/Reconnector.h"

namespace tessel {
namespace {

using std::chrono::milliseconds;

struct BackoffCase {
    const char* name;
    ReconnectDelays delays;
    // The wait each attempt aims at, in order; each may be off by up to a fifth.
    std::vector<std::int64_t> nominal;
};

class Backoff : public ::testing::TestWithParam<BackoffCase> {};

TEST_P(Backoff, DoublesUpToTheLongestWithASpread) {
    const BackoffCase& c = GetParam();
    for (std::uint32_t seed : {1u, 2u, 77u, 4000000000u}) {
        ReconnectBackoff backoff(c.delays, seed);
        for (std::size_t i = 0; i < c.nominal.size(); ++i) {
            const std::int64_t wait = backoff.Next().count();
            const std::int64_t n = c.nominal[i];
            EXPECT_GE(wait, n - n / 5) << "attempt " << i + 1 << " seed " << seed;
            const std::int64_t longest = std::max(c.delays.longest, c.delays.first).count();
            EXPECT_LE(wait, std::min(n + n / 5, longest))
                << "attempt " << i + 1 << " seed " << seed;
            EXPECT_EQ(backoff.Attempts(), static_cast<int>(i) + 1);
        }
        backoff.Reset();
        EXPECT_EQ(backoff.Attempts(), 0);
        const std::int64_t again = backoff.Next().count();
        EXPECT_GE(again, c.nominal[0] - c.nominal[0] / 5);
        EXPECT_LE(again, c.nominal[0] + c.nominal[0] / 5);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Backoff,
    ::testing::Values(
        BackoffCase{
            "Default", {}, {1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000, 60000}},
        BackoffCase{"Short", {milliseconds(50), milliseconds(400)}, {50, 100, 200, 400, 400}},
        BackoffCase{"Flat", {milliseconds(300), milliseconds(300)}, {300, 300, 300}},
        // A longest below the first is taken as the first: no wait shrinks.
        BackoffCase{"LongestBelowFirst", {milliseconds(500), milliseconds(10)}, {500, 500}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Backoff, ClientsStartedTogetherSpreadOut) {
    std::set<std::int64_t> firstWaits;
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        ReconnectBackoff backoff({}, seed);
        firstWaits.insert(backoff.Next().count());
    }
    // Twenty players dropped at once do not come back in a handful of instants.
    EXPECT_GE(firstWaits.size(), 10u);
}

TEST(Backoff, ThousandsOfAttemptsStayAtTheLongest) {
    ReconnectBackoff backoff({}, 9);
    std::int64_t last = 0;
    for (int i = 0; i < 5000; ++i) {
        last = backoff.Next().count();
    }
    EXPECT_GE(last, 48000);
    EXPECT_LE(last, 60000);
}

}  // namespace
}  // namespace tessel
