// SPDX-License-Identifier: MIT

// The client's receive path, one thread at a time, without sockets: what a chat message costs
// the connection thread (framing, conversion, dispatch, the post into the display queue) and
// what its line costs the front end's thread (taking it, building and colouring the line).
// The end-to-end figure against a minimal client is term_bench's.

#include <benchmark/benchmark.h>

#include <atomic>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "connection/MessageReader.h"
#include "display/DisplayQueue.h"
#include "session/Dispatcher.h"
#include "session/SessionState.h"
#include "views/DisplayDrain.h"
#include "views/HtmlSession.h"
#include "views/SessionRecord.h"

namespace {

using tessel::DisplayQueue;

class QuietFrontEnd : public tessel::FrontEnd {
  public:
    void DisplayTextPosted() override {}
    void HostConnected() override {}
    void UserListRefresh() override {}
    void UserListClear() override {}
    void TitleRefresh() override {}
    void Quit() override {}
};

// Keeps what a terminal would print, so the runs are really walked.
class CountingSink : public tessel::DisplaySink {
  public:
    void AppendRun(tessel::ColourMarker, std::string_view text) override { bytes_ += text.size(); }
    std::size_t bytes() const { return bytes_; }

  private:
    std::size_t bytes_ = 0;
};

constexpr int kMessages = 4096;

std::string Flood(std::string_view body) {
    std::string flood;
    for (int i = 0; i < kMessages; ++i) {
        const std::string text = std::string(body) + std::to_string(i);
        flood += "TesseraRELAY/0.1\ntoClient\nSHOWMESG bob\nContent-length: " +
                 std::to_string(text.size()) + "\nContent-type: tesra/euc\nID: s***001\n\n" + text;
    }
    return flood;
}

// The connection side: the flood arrives in reads of 64 KiB, as the socket is read, and each
// read's messages are framed, dispatched and posted.
void Receive(std::string_view flood, tessel::Dispatcher& dispatcher, DisplayQueue& queue) {
    tessel::MessageReader reader;
    tessel::ProtocolMessage message;
    const auto now = tessel::MessageReader::Clock::now();
    for (std::size_t at = 0; at < flood.size(); at += 65536) {
        reader.Feed(flood.substr(at, 65536), now);
        const DisplayQueue::PostHold hold(queue);
        while (reader.Next(message, now)) {
            dispatcher.OnMessage(message);
        }
    }
}

void ReceiveFlood(benchmark::State& state, std::string_view body) {
    const std::string flood = Flood(body);
    QuietFrontEnd frontEnd;
    DisplayQueue queue(frontEnd);
    tessel::UserTable users;
    tessel::Dispatcher dispatcher({queue, frontEnd, users, nullptr, nullptr, {}, {}, nullptr});
    std::vector<tessel::DisplayItem> taken;
    for (auto _ : state) {
        Receive(flood, dispatcher, queue);
        taken.clear();
        queue.TakeDisplayItems(taken, kMessages);
        benchmark::DoNotOptimize(taken.data());
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}

void BM_FrameOnly(benchmark::State& state) {
    const std::string flood = Flood("flood ");
    for (auto _ : state) {
        tessel::MessageReader reader;
        tessel::ProtocolMessage message;
        const auto now = tessel::MessageReader::Clock::now();
        for (std::size_t at = 0; at < flood.size(); at += 65536) {
            reader.Feed(std::string_view(flood).substr(at, 65536), now);
            while (reader.Next(message, now)) {
                benchmark::DoNotOptimize(message.contentLength);
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_FrameOnly);

void BM_ReceiveAsciiChat(benchmark::State& state) {
    ReceiveFlood(state, "flood ");
}
BENCHMARK(BM_ReceiveAsciiChat);

void BM_ReceiveJapaneseChat(benchmark::State& state) {
    // "こんにちは、今日のセッションを始めます" in EUC-JP: longer than a short string holds.
    ReceiveFlood(state,
                 "\xA4\xB3\xA4\xF3\xA4\xCB\xA4\xC1\xA4\xCF\xA1\xA2\xBA\xA3\xC6\xFC\xA4\xCE"
                 "\xA5\xBB\xA5\xC3\xA5\xB7\xA5\xE7\xA5\xF3\xA4\xF2\xBB\xCF\xA4\xE1\xA4\xDE"
                 "\xA4\xB9 ");
}
BENCHMARK(BM_ReceiveJapaneseChat);

// Both sides at once, as in the program: the connection side frames, dispatches and posts
// while a front-end thread drains, so the hand-over between the two cores is paid as well.
void BM_ReceiveAndDrainOnTwoThreads(benchmark::State& state) {
    const std::string flood = Flood("flood ");
    class WakingFrontEnd : public QuietFrontEnd {
      public:
        void DisplayTextPosted() override { posted_.fetch_add(1, std::memory_order_release); }
        std::atomic<int> posted_{0};
    } frontEnd;
    DisplayQueue queue(frontEnd);
    tessel::UserTable users;
    tessel::Dispatcher dispatcher({queue, frontEnd, users, nullptr, nullptr, {}, {}, nullptr});
    tessel::DisplayDrain drain({queue, nullptr, nullptr, {}, [] { return std::string("me"); }});
    CountingSink sink;
    for (auto _ : state) {
        std::thread front([&] {
            for (int shown = 0; shown < kMessages;) {
                shown += drain.Drain(sink, 2048);
            }
        });
        Receive(flood, dispatcher, queue);
        front.join();
    }
    benchmark::DoNotOptimize(sink.bytes());
    state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_ReceiveAndDrainOnTwoThreads)->UseRealTime();

// Each turn queues a flood of chat lines (not timed) and drains it into a counting sink.
void DrainFlood(benchmark::State& state, DisplayQueue& queue, tessel::DisplayDrain& drain) {
    CountingSink sink;
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kMessages; ++i) {
            tessel::DisplayItem item;
            item.name = "bob";
            item.text = "flood " + std::to_string(i);
            queue.PostDisplayItem(std::move(item));
        }
        state.ResumeTiming();
        drain.Drain(sink);
    }
    benchmark::DoNotOptimize(sink.bytes());
    state.SetItemsProcessed(state.iterations() * kMessages);
}

void BM_DrainChat(benchmark::State& state) {
    QuietFrontEnd frontEnd;
    DisplayQueue queue(frontEnd);
    tessel::DisplayDrain drain({queue, nullptr, nullptr, {}, [] { return std::string("me"); }});
    DrainFlood(state, queue, drain);
}
BENCHMARK(BM_DrainChat);

// The same drain keeping the session record; the record is filled to its line bound first,
// so every line also drops the oldest (its steady state over a long evening).
void BM_DrainChatIntoFullRecord(benchmark::State& state) {
    QuietFrontEnd frontEnd;
    DisplayQueue queue(frontEnd);
    tessel::SessionRecord record;
    for (std::size_t i = 0; i < tessel::SessionRecord::kMaxLines; ++i) {
        record.AppendRun(tessel::ColourMarker::Normal, "bob: flood earlier\r\n", 0);
    }
    tessel::DisplayDrain drain(
        {queue, nullptr, nullptr, {}, [] { return std::string("me"); }, nullptr, &record});
    DrainFlood(state, queue, drain);
}
BENCHMARK(BM_DrainChatIntoFullRecord);

// Saving a full record (200,000 chat lines, some Japanese) as one page.
void BM_RenderFullSessionPage(benchmark::State& state) {
    tessel::SessionRecord record;
    for (std::size_t i = 0; i < tessel::SessionRecord::kMaxLines; ++i) {
        record.AppendRun(tessel::ColourMarker::Name, "bob:", static_cast<std::int64_t>(i));
        record.AppendRun(tessel::ColourMarker::Normal,
                         i % 4 == 0 ? " \x82\xa0\x82\xa2 <b>&</b>\r\n" : " flood line\r\n",
                         static_cast<std::int64_t>(i));
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string page =
            tessel::RenderSessionPage(record, tessel::HtmlStyle{}, tessel::HtmlSessionHeader{});
        bytes = page.size();
        benchmark::DoNotOptimize(page.data());
    }
    state.counters["page_bytes"] = static_cast<double>(bytes);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(record.Lines().size()));
}
BENCHMARK(BM_RenderFullSessionPage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
