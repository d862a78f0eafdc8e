// SPDX-License-Identifier: MIT

// Throughput of the wire conversions against glibc iconv on the same text, and of request
// preparation for a typical mix of typed command texts.
//
// glibc offers several converter pairs between Shift-JIS and EUC-JP, at very different
// speeds. Each candidate pair is checked first: only a pair whose output is byte for byte
// ours on the benchmark text is measured, and each direction is compared with the fastest
// such pair, so the ratio is against the best iconv can do for the same result.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <array>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/Charset.h"
#include "protocol/CommandParser.h"
#include "protocol/ProtocolMessage.h"
#include "protocol/ProtocolState.h"

namespace {

using namespace tessel;

// About 1 MB of chat as players write it: ASCII dice talk mixed with kanji and kana.
const std::string& MixedShiftJisText() {
    static const std::string text = [] {
        const std::array<std::string_view, 6> lines = {
            "2d6+1 attack the goblin\r\n",
            // "今日はよろしくお願いします。" (Shift-JIS)
            "\x8d\xa1\x93\xfa\x82\xcd\x82\xe6\x82\xeb\x82\xb5\x82\xad\x82\xa8\x8a\xe8\x82\xa2"
            "\x82\xb5\x82\xdc\x82\xb7\x81\x42\r\n",
            "GM: roll for initiative, everyone\r\n",
            // "剣で攻撃、ダメージは8点" (Shift-JIS)
            "\x8c\x95\x82\xc5\x8d\x55\x8c\x82\x81\x41\x83\x5f\x83\x81\x81\x5b\x83\x57\x82\xcd"
            "8\x93\x5f\r\n",
            "m bob see you after the session\r\n",
            // "魔法使いの呪文" (Shift-JIS)
            "\x96\x82\x96\x40\x8e\x67\x82\xa2\x82\xcc\x8e\xf4\x95\xb6\r\n",
        };
        std::string out;
        for (std::size_t i = 0; out.size() < (1u << 20); ++i) {
            out += lines[i % lines.size()];
        }
        return out;
    }();
    return text;
}

const std::string& MixedEucText() {
    static const std::string text = ToEuc(MixedShiftJisText(), MixedShiftJisText().size() * 2);
    return text;
}

std::string IconvConvert(iconv_t cd, const std::string& input) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out(input.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char* dst = out.data();
    std::size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &dst, &outLeft);
    out.resize(out.size() - outLeft);
    return out;
}

void BM_ToEuc(benchmark::State& state) {
    const std::string& text = MixedShiftJisText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ToEuc(text, text.size() * 2));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ToEuc);

void BM_ToShiftJis(benchmark::State& state) {
    const std::string& text = MixedEucText();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ToShiftJis(text));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ToShiftJis);

// A typical evening's mix: chat, rolls with notes, private messages, re-rolls and fakes.
constexpr std::array<std::string_view, 8> kEveningMix = {
    "hello everyone",
    "2d6+1 attack",
    "1d100a",
    "m bob \x82\xa0\x82\xe8\x82\xaa\x82\xc6\x82\xa4",  // "ありがとう"
    "bsk",
    "2d6f 6 6 lucky",
    "MODE +o",
    "\x8d\xa1\x93\xfa\x82\xcd\x82\xe6\x82\xeb\x82\xb5\x82\xad",  // "今日はよろしく"
};

void BM_PrepareAndAssemble(benchmark::State& state) {
    const auto& texts = kEveningMix;
    ResetProtocolState();
    OwnRoll roll;
    roll.count = 2;
    roll.sides = 6;
    roll.diceText.assign("3\n4\n");
    RecordOwnRoll(roll);
    ProtocolMessage message;
    std::string request;
    std::size_t i = 0;
    for (auto _ : state) {
        PrepareOutgoing(message, texts[i++ % texts.size()]);
        message.ToEuc(MessageField::CommandLine);
        benchmark::DoNotOptimize(message.AssembleRequest(request));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_PrepareAndAssemble);

// What the status bar reads on every keystroke, on the same mix; the line above is the
// baseline: a keystroke costs about what sending the line does.
void BM_ReadTypedLine(benchmark::State& state) {
    const auto& texts = kEveningMix;
    ResetProtocolState();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadTypedLine(texts[i++ % texts.size()]));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_ReadTypedLine);

struct IconvPair {
    const char* to;
    const char* from;
};

// Candidates for each direction; the first is the classic pair, usually the slowest.
constexpr IconvPair kToEucPairs[] = {
    {"EUC-JP", "SHIFT_JIS"}, {"EUC-JP-MS", "CP932"}, {"EUC-JP", "CP932"}};
constexpr IconvPair kToShiftJisPairs[] = {
    {"SHIFT_JIS", "EUC-JP"}, {"CP932", "EUC-JP-MS"}, {"CP932", "EUC-JP"}};

std::string PairName(const IconvPair& pair) {
    return std::string("BM_Iconv/") + pair.from + "->" + pair.to;
}

// Registers a benchmark for every pair that gives exactly `expected` from `input`; returns
// the names registered.
std::vector<std::string> RegisterIdenticalPairs(const IconvPair* pairs, std::size_t count,
                                                const std::string& input,
                                                const std::string& expected) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        const IconvPair pair = pairs[i];
        iconv_t cd = iconv_open(pair.to, pair.from);
        if (cd == reinterpret_cast<iconv_t>(-1)) {
            std::printf("%s: not available\n", PairName(pair).c_str());
            continue;
        }
        const bool identical = IconvConvert(cd, input) == expected;
        iconv_close(cd);
        if (!identical) {
            std::printf("%s: output differs from ours, not measured\n", PairName(pair).c_str());
            continue;
        }
        names.push_back(PairName(pair));
        benchmark::RegisterBenchmark(names.back().c_str(), [pair, &input](benchmark::State& state) {
            iconv_t converter = iconv_open(pair.to, pair.from);
            for (auto _ : state) {
                benchmark::DoNotOptimize(IconvConvert(converter, input));
            }
            iconv_close(converter);
            state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.size()));
        });
    }
    return names;
}

// Prints what the console shows, then each conversion's speed as a ratio to the fastest
// identical iconv pair and to the classic pair, measured in the same run.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) {
                speeds_[run.benchmark_name()] = it->second.value;
            }
        }
    }

    void PrintRatios(const char* what, const std::string& ours,
                     const std::vector<std::string>& baselines) const {
        const auto a = speeds_.find(ours);
        if (a == speeds_.end()) {
            return;
        }
        std::string fastest;
        for (const std::string& name : baselines) {
            const auto b = speeds_.find(name);
            if (b != speeds_.end() && (fastest.empty() || b->second > speeds_.at(fastest))) {
                fastest = name;
            }
        }
        std::printf("%-10s %8.1f MB/s\n", what, a->second / 1e6);
        for (const std::string& name : baselines) {
            const auto b = speeds_.find(name);
            if (b == speeds_.end() || b->second <= 0) {
                continue;
            }
            std::printf("  vs %-32s %8.1f MB/s, ratio %.2f%s\n", name.c_str(), b->second / 1e6,
                        a->second / b->second, name == fastest ? "  (fastest identical pair)" : "");
        }
    }

  private:
    std::map<std::string, double> speeds_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const std::vector<std::string> toEuc =
        RegisterIdenticalPairs(kToEucPairs, std::size(kToEucPairs), MixedShiftJisText(),
                               ToEuc(MixedShiftJisText(), MixedShiftJisText().size() * 2));
    const std::vector<std::string> toShiftJis = RegisterIdenticalPairs(
        kToShiftJisPairs, std::size(kToShiftJisPairs), MixedEucText(), ToShiftJis(MixedEucText()));
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios("ToEuc", "BM_ToEuc", toEuc);
    reporter.PrintRatios("ToShiftJis", "BM_ToShiftJis", toShiftJis);
    benchmark::Shutdown();
    return 0;
}
