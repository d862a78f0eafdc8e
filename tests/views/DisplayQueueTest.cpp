#include "views/DisplayQueue.h"

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

TEST(DisplayQueueTest, OverlongTextsAreCutToTheItemSize) {
    test::FrontEndRecorder frontEnd;
    DisplayQueue queue(frontEnd);
    DisplayItem item = System(std::string(10000, 'x'));
    item.rollInfo = std::string(5000, '1');
    queue.PostDisplayItem(item);
    const auto out = queue.TakeDisplayItem();
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(out->text.size(), DisplayQueue::kMaxTextLength);
    EXPECT_EQ(out->rollInfo.size(), DisplayQueue::kMaxTextLength);
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

}  // namespace
}  // namespace tessel
