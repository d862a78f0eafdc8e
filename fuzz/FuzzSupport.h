// SPDX-License-Identifier: MIT

#pragma once

#include <stdlib.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Helpers shared by the fuzz targets: an invariant that stops the run (so libFuzzer keeps the
// input as a crash), inputs made of several parts, and a fixed scratch directory.
namespace tessel::fuzz {

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}

#define FUZZ_CHECK(condition)                                     \
    do {                                                          \
        if (!(condition)) {                                       \
            ::tessel::fuzz::Fail(#condition, __FILE__, __LINE__); \
        }                                                         \
    } while (0)

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The separator between the parts of one input ("\n%%\n"), which every dictionary lists.
inline constexpr std::string_view kPartSeparator = "\n%%\n";

// Splits an input into at most `count` parts; the last part takes the rest, separators
// included. Missing parts are empty.
inline std::vector<std::string_view> Parts(std::string_view input, std::size_t count) {
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < count) {
        const std::size_t at = input.find(kPartSeparator);
        if (at == std::string_view::npos) {
            break;
        }
        parts.push_back(input.substr(0, at));
        input.remove_prefix(at + kPartSeparator.size());
    }
    parts.push_back(input);
    parts.resize(count);
    return parts;
}

// A small deterministic generator, seeded from the input, for choices such as split points.
class SplitMix {
  public:
    explicit SplitMix(std::string_view seedText) {
        for (const char c : seedText) {
            state_ = state_ * 1099511628211ull ^ static_cast<unsigned char>(c);
        }
    }
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t bound) { return bound == 0 ? 0 : Next() % bound; }

  private:
    std::uint64_t state_ = 14695981039346656037ull;
};

// A scratch directory for one fuzz process, created once under the temporary directory and
// removed at exit.
class ScratchDirectory {
  public:
    ScratchDirectory() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tessel-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// Every entry under `root`, recursively, as paths relative to it, without following links.
inline std::vector<std::string> TreeOf(const std::string& root) {
    std::vector<std::string> entries;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(root, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error)) {
        entries.push_back(std::filesystem::relative(it->path(), root).string());
    }
    return entries;
}

}  // namespace tessel::fuzz
