// SPDX-License-Identifier: MIT

// Memory of profile lookups in a huge tessel.ini: the peak memory one lookup adds, as a
// multiple of the text's size, for text held in memory and for a file on disk (which the
// store refuses past its size limit without reading it).
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/ProfileStore.h"

namespace {

long PeakKilobytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// 64 MiB of one-byte comment lines, the wanted key at the very end: the worst case for any
// per-line bookkeeping.
std::string HugeProfile() {
    std::string text = "[Options]\r\n";
    while (text.size() < (std::size_t{64} << 20)) {
        text += ";\n";
    }
    text += "isrecvfile=1\r\n";
    return text;
}

}  // namespace

int main() {
    const std::string text = HugeProfile();
    const double textMiB = static_cast<double>(text.size()) / (1 << 20);

    long before = PeakKilobytes();
    const auto start = std::chrono::steady_clock::now();
    const auto value = tessel::FindProfileValue(text, "Options", "isrecvfile");
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    long grown = PeakKilobytes() - before;
    std::printf(
        "lookup in %.0f MiB of text: %.1f ms, peak memory added %.1f MiB (%.2fx the text),"
        " value %s\n",
        textMiB, took.count(), grown / 1024.0, grown / 1024.0 / textMiB,
        value ? value->c_str() : "(none)");

    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / "tessel-profile-bench.ini";
    std::ofstream(path, std::ios::binary).write(text.data(), static_cast<long>(text.size()));
    before = PeakKilobytes();
    const tessel::ProfileStore store(path.string());
    const std::int32_t stored = store.GetProfileInt("Options", "isrecvfile", -1);
    grown = PeakKilobytes() - before;
    std::printf(
        "lookup in a %.0f MiB file (limit %zu bytes): peak memory added %.1f MiB (%.2fx"
        " the file), value %d\n",
        textMiB, tessel::kMaxProfileSize, grown / 1024.0, grown / 1024.0 / textMiB, stored);
    std::filesystem::remove(path);
    return 0;
}
