// SPDX-License-Identifier: MIT

#include "display/DisplayQueue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/FrontEndRecorder.h"

namespace tessel {
namespace {

DisplayItem System(std::string text) {
    DisplayItem item;
    item.kind = DisplayKind::System;
    item.text = std::move(text);
    return item;
}

TEST(DisplayQueueTest, ItemsComeOutInOrderAndEachPostWakesTheFrontEnd) {
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue(frontEnd);
    EXPECT_FALSE(queue.TakeDisplayItem().has_value());  // an empty drain does nothing

    queue.PostDisplayItem(System("one"));
    queue.PostDisplayItem(System("two"));
    EXPECT_EQ(frontEnd.count("DisplayTextPosted"), 2);
    EXPECT_EQ(queue.TakeDisplayItem(), System("one"));
    EXPECT_EQ(queue.TakeDisplayItem(), System("two"));
    EXPECT_FALSE(queue.TakeDisplayItem().has_value());
}

TEST(DisplayQueueTest, AHoldHandsItsThreadsPostsOverTogetherAndInOrder) {
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue(frontEnd);
    std::vector<DisplayItem> taken;
    {
        const DisplayQueue::PostHold hold(queue);
        queue.PostDisplayItem(System("held 1"));
        {
            const DisplayQueue::PostHold inner(queue);  // belongs to the outer hold
            queue.PostDisplayItem(System("held 2"));
        }
        std::thread([&queue] { queue.PostDisplayItem(System("other thread")); }).join();
        EXPECT_EQ(queue.size(), 1u);  // only the other thread's post is in
        queue.Release();              // as before an event the front end must see after them
        queue.PostDisplayItem(System("held 3"));
        EXPECT_EQ(queue.size(), 3u);
    }
    EXPECT_EQ(queue.TakeDisplayItems(taken, 10), 4u);
    EXPECT_EQ(taken, (std::vector<DisplayItem>{System("other thread"), System("held 1"),
                                               System("held 2"), System("held 3")}));
    EXPECT_EQ(frontEnd.count("DisplayTextPosted"), 3);  // one per hand-over, not per post

    // A long hold still hands over in bounded batches.
    const DisplayQueue::PostHold hold(queue);
    for (std::size_t i = 0; i < DisplayQueue::kHeldItems; ++i) {
        queue.PostDisplayItem(System("x"));
    }
    EXPECT_EQ(queue.size(), DisplayQueue::kHeldItems);
}

TEST(DisplayQueueTest, OverlongTextsAreCutToTheItemSize) {
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue(frontEnd);
    DisplayItem item = System(std::string(10000, 'x'));
    item.rollInfo.note = std::string(5000, '1');
    queue.PostDisplayItem(item);
    const auto out = queue.TakeDisplayItem();
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(out->text.size(), DisplayQueue::kMaxTextLength);
    EXPECT_EQ(out->rollInfo.note.size(), DisplayQueue::kMaxTextLength);
}

TEST(DisplayQueueTest, TwoProducersKeepTheirOwnOrderAndLoseNothing) {
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue(frontEnd);
    constexpr int kPerThread = 2000;
    auto produce = [&](const std::string& tag) {
        for (int i = 0; i < kPerThread; ++i) {
            queue.PostDisplayItem(System(tag + std::to_string(i)));
        }
    };
    std::thread a(produce, "a");
    std::thread b(produce, "b");
    std::vector<DisplayItem> drained;
    while (drained.size() < 2 * kPerThread) {
        if (auto item = queue.TakeDisplayItem()) {
            drained.push_back(std::move(*item));
        } else {
            std::this_thread::yield();
        }
    }
    a.join();
    b.join();
    int nextA = 0;
    int nextB = 0;
    for (const DisplayItem& item : drained) {
        int& next = item.text[0] == 'a' ? nextA : nextB;
        EXPECT_EQ(item.text.substr(1), std::to_string(next));
        ++next;
    }
    EXPECT_EQ(nextA, kPerThread);
    EXPECT_EQ(nextB, kPerThread);
    EXPECT_EQ(queue.size(), 0u);
}

TEST(DisplayQueueTest, MarkerPairsInAnyFieldAreNeutralisedAsTheDisplayWalksThem) {
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue(frontEnd);
    struct Case {
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        // A two-byte character, then a marker pair: the pair becomes the geta mark.
        {"\x81\x81\xFC\xFA"
         "fake",
         "\x81\x81\x81\xAC"
         "fake"},
        // 0xFC as the trail byte of a character is text, and the next pair starts after it.
        {"\x81\xFC\xFA", "\x81\xFC\xFA"},
        // A lead byte before a non-trail byte stands alone, so the marker after it is found.
        {"\x81\x0A\xFC\xFB", "\x81\x0A\x81\xAC"},
        {"\xFC\xF9\xFC\xFC", "\x81\xAC\x81\xAC"},
        {"\xFC\xF8", "\xFC\xF8"},
    };
    for (const Case& c : cases) {
        DisplayItem item;
        item.name = c.in;
        item.text = c.in;
        item.rollInfo.note = c.in;
        queue.PostDisplayItem(item);
        const auto out = queue.TakeDisplayItem();
        ASSERT_TRUE(out.has_value());
        EXPECT_EQ(out->name, c.out);
        EXPECT_EQ(out->text, c.out);
        EXPECT_EQ(out->rollInfo.note, c.out);
    }
}

TEST(DisplayQueueTest, FullFromTheHighMarkUntilDrainedBelowTheLowMark) {
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue(frontEnd);
    int roomCalls = 0;
    queue.SetRoomListener([&] { ++roomCalls; });
    for (std::size_t i = 0; i + 1 < DisplayQueue::kHighItems; ++i) {
        queue.PostDisplayItem(System("x"));
    }
    EXPECT_FALSE(queue.Full());
    queue.PostDisplayItem(System("x"));
    EXPECT_TRUE(queue.Full());
    // Posting never fails and never drops: a full queue still takes every item.
    queue.PostDisplayItem(System("last"));
    EXPECT_EQ(queue.size(), DisplayQueue::kHighItems + 1);

    while (queue.size() > DisplayQueue::kLowItems) {
        ASSERT_TRUE(queue.TakeDisplayItem().has_value());
        EXPECT_TRUE(queue.Full());
    }
    EXPECT_EQ(roomCalls, 0);
    ASSERT_TRUE(queue.TakeDisplayItem().has_value());
    EXPECT_FALSE(queue.Full());
    EXPECT_EQ(roomCalls, 1);
}

TEST(DisplayQueueTest, LargeItemsFillTheQueueByTheirBytes) {
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue(frontEnd);
    const std::string big(DisplayQueue::kMaxTextLength, 'b');
    std::size_t posted = 0;
    while (!queue.Full() && posted < DisplayQueue::kHighItems) {
        queue.PostDisplayItem(System(big));
        ++posted;
    }
    EXPECT_TRUE(queue.Full());
    EXPECT_LT(posted, DisplayQueue::kHighItems);
    EXPECT_GE(posted, DisplayQueue::kHighBytes / (big.size() + sizeof(DisplayItem)));
}

}  // namespace
}  // namespace tessel
