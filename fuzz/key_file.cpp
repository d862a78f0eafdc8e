// SPDX-License-Identifier: MIT

// Key definition files anyone could have written, with one level of include: every slot stays
// within its 63 bytes, nothing longer than the mailbox is sent, loading twice gives the same
// keys, and every file read is recorded as the program's own.
#include <fstream>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "frame/KeyMacros.h"

namespace tessel::fuzz {
namespace {

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Loaded {
    std::vector<std::string> slots;
    std::vector<std::string> sent;
    std::string deferred;
    std::string sproll;

    friend bool operator==(const Loaded&, const Loaded&) = default;
};

Loaded Load(const std::string& directory, bool connected, std::string_view inputLine) {
    ResetProtocolState();
    Loaded loaded;
    OwnFiles own;
    KeyMacros macros(directory + "/", KeyMacros::Hooks{
                                          [connected] { return connected; },
                                          [&](std::string_view text) {
                                              FUZZ_CHECK(text.size() <= kMaxRequestTextLength);
                                              loaded.sent.emplace_back(text);
                                          },
                                          [](std::string_view) {},
                                          &own,
                                      });
    FUZZ_CHECK(macros.LoadDefaultKeyFile());
    // The key file was read, so no received file may replace it, in any spelling.
    FUZZ_CHECK(own.IsOwnName(directory, "tessel.key"));
    FUZZ_CHECK(own.IsOwnName(directory + "/./", "tessel.key"));

    for (std::size_t slot = 0; slot < kCtrlShiftMacroCount + kFunctionKeyMacroCount; ++slot) {
        const std::string_view text = slot < kCtrlShiftMacroCount
                                          ? macros.CtrlShiftMacro(slot)
                                          : macros.FunctionKeyMacro(slot - kCtrlShiftMacroCount);
        FUZZ_CHECK(text.size() < kMacroSlotSize);
        FUZZ_CHECK(text.find('\0') == std::string_view::npos);
        const MacroExpansion expansion = ExpandMacroText(text, inputLine);
        if (expansion.fits) {
            FUZZ_CHECK(expansion.text.size() <= kMaxRequestTextLength);
        }
        FUZZ_CHECK(ExpandMacroText(text, inputLine) == expansion);
        loaded.slots.emplace_back(text);
    }
    FUZZ_CHECK(macros.DeferredExec().size() <= kMaxRequestTextLength);
    loaded.deferred = macros.TakeDeferredExec();
    FUZZ_CHECK(macros.DeferredExec().empty());
    loaded.sproll = std::string(SprollText());
    FUZZ_CHECK(loaded.sproll.size() < kNameFieldSize);
    return loaded;
}

}  // namespace
}  // namespace tessel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tessel::fuzz;
    static ScratchDirectory scratch;
    const auto parts = Parts(AsText(data, size), 4);
    WriteFile(scratch.path() + "/tessel.key", parts[0]);
    WriteFile(scratch.path() + "/inc.key", parts[1]);
    const bool connected = !parts[3].empty() && (parts[3][0] & 1) != 0;
    const Loaded first = Load(scratch.path(), connected, parts[2]);
    FUZZ_CHECK(Load(scratch.path(), connected, parts[2]) == first);
    return 0;
}
