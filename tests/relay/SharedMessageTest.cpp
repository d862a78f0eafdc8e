// SPDX-License-Identifier: MIT

// Messages laid out once for many recipients, the user list that waits in a client's queue,
// and the refusal log's limit.

#include <sys/socket.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "RelayWire.h"
#include "relay/MessageWriter.h"
#include "relay/OutputQueue.h"
#include "relay/RelayLog.h"
#include "relay/UniqueFd.h"
#include "support/Bytes.h"

namespace tessel::relay {
namespace {

using namespace std::chrono_literals;
using tessel::test::Bytes;
using test::ToClient;

std::string Sid(int n) {
    char id[16];
    std::snprintf(id, sizeof id, "s***%03d", n);
    return id;
}

struct LayoutCase {
    const char* name;
    std::string command;
    ContentType type;
    std::string typeText;
    std::string body;
    bool crlf;
};

const LayoutCase kLayouts[] = {
    {"chat", "SHOWMESG taro", ContentType::Euc, "tesra/euc", "hello\n", false},
    {"header only", "READY 7", ContentType::Other, "", "", false},
    {"user list", "PUTUSER", ContentType::Euc, "tesra/euc", "taro #a 1.2.3.4:5 0\nNo entry\n",
     false},
    {"crlf", "SHOWMESG jiro", ContentType::Binary, "tesra/binary", std::string("a\0b", 3), true},
    // A body that looks like an ID line must not be where the number goes.
    {"decoy body", "SHOWMESG x", ContentType::Euc, "tesra/euc", "ID: s***000\n", false},
    {"longest body", "SHOW 255 255 x 0 0", ContentType::Result, "tesra/result",
     std::string(4096, '7'), false},
};

class SharedLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(SharedLayout, EveryRecipientGetsTheBytesOfItsOwnLayout) {
    const LayoutCase& c = GetParam();
    const MessageWriter writer(c.crlf);
    const WireMessage shared = writer.WriteForEach(c.command, c.type, c.body);
    const std::string eol = c.crlf ? "\r\n" : "\n";
    for (int n = 0; n <= 999; ++n) {
        const std::string own = writer.Write(c.command, ServerId(n), c.type, c.body);
        ASSERT_EQ(Bytes(shared.For(n)), Bytes(own)) << c.name << " for " << n;
        ASSERT_EQ(Bytes(shared.For(n)), Bytes(ToClient(c.command, Sid(n), c.typeText, c.body, eol)))
            << c.name << " for " << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, SharedLayout, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

TEST(SharedLayout, CopiesAppendedOneAfterAnotherEachCarryTheirOwnNumber) {
    const WireMessage shared =
        MessageWriter().WriteForEach("SHOWMESG taro", ContentType::Euc, "hi");
    std::string out;
    shared.AppendFor(3, out);
    shared.AppendFor(250, out);
    EXPECT_EQ(Bytes(out), Bytes(ToClient("SHOWMESG taro", Sid(3), "tesra/euc", "hi") +
                                ToClient("SHOWMESG taro", Sid(250), "tesra/euc", "hi")));
}

class QueuedUserList : public ::testing::Test {
  protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        ours_.reset(fds[0]);
        theirs_.reset(fds[1]);
    }

    std::string ReadTheirs() {
        std::string got;
        char chunk[65536];
        ssize_t n;
        while ((n = ::recv(theirs_.get(), chunk, sizeof chunk, MSG_DONTWAIT)) > 0) {
            got.append(chunk, static_cast<std::size_t>(n));
        }
        return got;
    }

    // Everything the queue holds, as the peer receives it.
    std::string DrainAll(OutputQueue& queue) {
        std::string got;
        while (queue.WriteTo(ours_.get()) == WriteStatus::Pending) {
            got += ReadTheirs();
        }
        return got + ReadTheirs();
    }

    static WireMessage List(std::string_view users) {
        return MessageWriter().WriteForEach("PUTUSER", ContentType::Euc,
                                            std::string(users) + "No entry\n");
    }
    static std::string ListFor(int n, std::string_view users) {
        return ToClient("PUTUSER", Sid(n), "tesra/euc", std::string(users) + "No entry\n");
    }
    static std::string Chat(int n, std::string_view text) {
        return ToClient("SHOWMESG taro", Sid(n), "tesra/euc", text);
    }
    static WireMessage SharedChat(std::string_view text) {
        return MessageWriter().WriteForEach("SHOWMESG taro", ContentType::Euc, text);
    }

    UniqueFd ours_;
    UniqueFd theirs_;
};

TEST_F(QueuedUserList, AListNotYetSentGivesWayToTheLatestAfterWhatCameBetween) {
    OutputQueue queue;
    WireMessage latest = List("taro #a x 0\n");
    queue.PushUserList(latest, 5);
    ASSERT_TRUE(queue.Push(SharedChat("one"), 5));
    latest = List("taro #a x 1\n");
    queue.PushUserList(latest, 5);
    ASSERT_TRUE(queue.Push(SharedChat("two"), 5));
    EXPECT_EQ(Bytes(DrainAll(queue)),
              Bytes(Chat(5, "one") + ListFor(5, "taro #a x 1\n") + Chat(5, "two")));
    EXPECT_TRUE(queue.empty());
}

TEST_F(QueuedUserList, TheListGoesOutAsItIsWhenTheWritingReachesIt) {
    OutputQueue queue;
    WireMessage latest = List("taro #a x 0\n");
    queue.PushUserList(latest, 9);
    latest = List("jiro #b y 0\ntaro #a x 0\n");  // changed in place, not pushed again
    EXPECT_EQ(Bytes(DrainAll(queue)), Bytes(ListFor(9, "jiro #b y 0\ntaro #a x 0\n")));
}

TEST_F(QueuedUserList, AListAlreadySentIsFollowedByTheNextOne) {
    OutputQueue queue;
    WireMessage latest = List("taro #a x 0\n");
    queue.PushUserList(latest, 2);
    EXPECT_EQ(Bytes(DrainAll(queue)), Bytes(ListFor(2, "taro #a x 0\n")));
    latest = List("");
    queue.PushUserList(latest, 2);
    EXPECT_EQ(Bytes(DrainAll(queue)), Bytes(ListFor(2, "")));
}

TEST_F(QueuedUserList, AReaderThatIsBehindHasOneListWaitingHoweverManyChanges) {
    OutputQueue queue(8 * 1024 * 1024);
    const std::string filler(64 * 1024, 'f');
    std::string expected;
    // Far more than the socket pair takes, so the writing stops before the list.
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(queue.Push(filler));
        expected += filler;
    }
    ASSERT_EQ(queue.WriteTo(ours_.get()), WriteStatus::Pending);
    WireMessage latest;
    const std::size_t queued = queue.size();
    for (int change = 0; change < 1000; ++change) {
        latest = List("taro #a x " + std::to_string(change % 2) + "\n");
        queue.PushUserList(latest, 4);
        ASSERT_EQ(queue.size(), queued) << change;  // nothing more is laid out
    }
    expected += ListFor(4, "taro #a x 1\n");
    const std::string got = DrainAll(queue);
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "not the fillers followed by the latest list alone";
}

struct LimitStep {
    std::chrono::milliseconds at;
    bool allowed;
    int held;  // told with an allowed line
};

TEST(LogRateLimit, ABurstGoesOutThenLinesAreCountedUntilTheNextWindow) {
    const LogRateLimit::Clock::time_point start{};
    LogRateLimit limit(3, 10s);
    const std::vector<LimitStep> steps = {
        {0ms, true, 0},     {1ms, true, 0},      {2ms, true, 0},     {3ms, false, 0},
        {4ms, false, 0},    {9999ms, false, 0},  {10000ms, true, 3}, {10001ms, true, 0},
        {10002ms, true, 0}, {10003ms, false, 0}, {30000ms, true, 1}, {30001ms, true, 0},
    };
    for (const LimitStep& step : steps) {
        int held = -1;
        EXPECT_EQ(limit.Allow(start + step.at, held), step.allowed) << step.at.count();
        if (step.allowed) {
            EXPECT_EQ(held, step.held) << step.at.count();
        }
    }
    EXPECT_EQ(limit.held(), 0);
}

}  // namespace
}  // namespace tessel::relay
