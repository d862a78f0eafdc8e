// SPDX-License-Identifier: MIT

#include "relay/OutputQueue.h"

#include <sys/socket.h>

#include <gtest/gtest.h>

#include "relay/RelayLog.h"
#include "relay/UniqueFd.h"

namespace tessel::relay {
namespace {

class SocketPair : public ::testing::Test {
  protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        ours_.reset(fds[0]);
        theirs_.reset(fds[1]);
    }

    std::string ReadTheirs() {
        std::string got;
        char chunk[4096];
        ssize_t n;
        while ((n = ::recv(theirs_.get(), chunk, sizeof chunk, MSG_DONTWAIT)) > 0) {
            got.append(chunk, static_cast<std::size_t>(n));
        }
        return got;
    }

    UniqueFd ours_;
    UniqueFd theirs_;
};

TEST_F(SocketPair, TheQueueNeverPassesItsLimit) {
    OutputQueue queue(10);
    EXPECT_TRUE(queue.Push("0123456"));
    EXPECT_FALSE(queue.Push("7890"));  // 11 bytes would not fit: nothing of it is queued
    EXPECT_TRUE(queue.Push("789"));
    EXPECT_FALSE(queue.Push("x"));
    EXPECT_EQ(queue.size(), 10u);
    EXPECT_EQ(queue.WriteTo(ours_.get()), WriteStatus::Drained);
    EXPECT_EQ(ReadTheirs(), "0123456789");
    EXPECT_TRUE(queue.empty());
    EXPECT_TRUE(queue.Push("again"));
}

TEST_F(SocketPair, WhatTheSocketDoesNotTakeStaysQueuedInOrder) {
    OutputQueue queue(8 * 1024 * 1024);
    std::string sent;
    for (int i = 0; sent.size() < 4 * 1024 * 1024; ++i) {
        const std::string piece = std::to_string(i) + ",";
        ASSERT_TRUE(queue.Push(piece));
        sent += piece;
    }
    EXPECT_EQ(queue.WriteTo(ours_.get()), WriteStatus::Pending);  // the pair's buffer is smaller
    std::string got;
    while (!queue.empty()) {
        got += ReadTheirs();
        const WriteStatus status = queue.WriteTo(ours_.get());
        ASSERT_NE(status, WriteStatus::Failed);
    }
    got += ReadTheirs();
    EXPECT_EQ(got, sent);
}

TEST_F(SocketPair, AGonePeerIsAFailedWrite) {
    OutputQueue queue;
    ASSERT_TRUE(queue.Push("hello"));
    theirs_.reset();
    EXPECT_EQ(queue.WriteTo(ours_.get()), WriteStatus::Failed);
}

TEST(LogText, ShowsShiftJisAndEscapesControlBytes) {
    // 太郎 in EUC-JP becomes Shift-JIS; the line feed and escape cannot end or colour a line.
    EXPECT_EQ(LogText("OPEN a:1 \xC2\xC0\xCF\xBA\n\x1B[31m"),
              "OPEN a:1 \x91\xBE\x98\x59\\x0A\\x1B[31m");
    // A byte that passes through as a lead byte must not carry a control byte with it.
    EXPECT_EQ(LogText("\x8E\x1B[31m"), "\x8E\\x1B[31m");
}

TEST(LogText, EscapesTheC1ControlsOfAUtf8Terminal) {
    struct Case {
        std::string wire;
        std::string logged;
    };
    const Case cases[] = {
        // C2 9B is CSI on a UTF-8 terminal: "\xC2\x9B31m" would colour what follows.
        {"a\xC2\x9B"
         "31m",
         "a\\xC2\\x9B31m"},
        {"\xC2\x80\xC2\x9F", "\\xC2\\x80\\xC2\\x9F"},
        // The C2 is the trail byte of a Shift-JIS pair: the pair cannot shield the control.
        {"\x88\xC2\x9B"
         "2J",
         "\\x88\\xC2\\x9B2J"},
        // C2 before anything else stays as it is.
        {"\xC2\xA0", "\xC2\xA0"},
        {"\xC2", "\xC2"},
    };
    for (const auto& c : cases) {
        const std::string logged = LogText(c.wire);
        EXPECT_EQ(logged, c.logged) << c.logged;
        for (std::size_t i = 0; i + 1 < logged.size(); ++i) {
            const auto next = static_cast<unsigned char>(logged[i + 1]);
            EXPECT_FALSE(static_cast<unsigned char>(logged[i]) == 0xC2 && next >= 0x80 &&
                         next <= 0x9F)
                << c.logged;
        }
    }
}

TEST(LogText, IsCutWithoutSplittingACharacter) {
    std::string euc;
    for (int i = 0; i < 10; ++i) {
        euc += "\xA4\xA2";  // あ
    }
    EXPECT_EQ(LogText(std::string("x") + euc, 4), "x\x82\xA0\x82\xA0...");
    EXPECT_EQ(LogText(std::string(100, 'a'), 80), std::string(80, 'a') + "...");
}

}  // namespace
}  // namespace tessel::relay
