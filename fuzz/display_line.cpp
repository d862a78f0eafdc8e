// SPDX-License-Identifier: MIT

// Display items as a peer can fill them (names, texts, roll notes and dice text from the
// server) through the display queue, the line builder and the roll report: only the markers
// the builder itself adds may survive, and every line stays bounded.
#include <cstring>
#include <string>
#include <vector>

#include "DisplayChecks.h"
#include "views/RollReport.h"

namespace tessel::fuzz {
namespace {

std::int32_t IntAt(std::string_view bytes, std::size_t index) {
    std::int32_t value = 0;
    if (bytes.size() >= (index + 1) * 4) {
        std::memcpy(&value, bytes.data() + index * 4, 4);
    }
    return value;
}

DisplayItem Shown(DisplayItem item) {
    QuietFrontEnd frontEnd;
    DisplayQueue queue(frontEnd);
    queue.PostDisplayItem(std::move(item));
    auto taken = queue.TakeDisplayItem();
    FUZZ_CHECK(taken.has_value());
    return *taken;
}

}  // namespace
}  // namespace tessel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel;
    using namespace tessel::fuzz;
    const auto parts = Parts(AsText(data, size), 4);

    DisplayItem item;
    item.kind = static_cast<DisplayKind>(IntAt(parts[0], 0) & 3);
    item.systemName = IntAt(parts[0], 1);
    item.rollInfo = {IntAt(parts[0], 2), IntAt(parts[0], 3), IntAt(parts[0], 4),
                     IntAt(parts[0], 5), IntAt(parts[0], 6), std::string(parts[3])};
    item.name = std::string(parts[1]);
    item.text = std::string(parts[2]);

    const DisplayItem shown = Shown(item);
    const std::string line = CheckedLine(shown);

    // What is logged is exactly what is painted, without a marker.
    const std::string logged = LogLineOf(line);
    FUZZ_CHECK(Markers(logged).empty());
    std::string painted;
    for (const auto& run : SplitColouredRuns(line, ColourMarker::Normal).runs) {
        FUZZ_CHECK(!run.bytes.empty());
        painted += run.bytes;
    }
    FUZZ_CHECK(painted == logged);

    if (shown.kind == DisplayKind::Roll) {
        const DiceBlock block = RenderDiceBlock(shown.text);
        FUZZ_CHECK(block.text.size() < kDiceBlockSize);
        FUZZ_CHECK(block.text.size() >= 2 && block.text.substr(block.text.size() - 2) == "\r\n");
    }
    return 0;
}
