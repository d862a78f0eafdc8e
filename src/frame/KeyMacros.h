// SPDX-License-Identifier: MIT

#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/OwnFiles.h"
#include "protocol/FixedText.h"
#include "protocol/ProtocolState.h"

namespace tessel {

inline constexpr std::size_t kCtrlShiftMacroCount = 36;    // Ctrl+Shift+0..9, A..Z
inline constexpr std::size_t kFunctionKeyMacroCount = 24;  // F1..F12, Shift+F1..Shift+F12
inline constexpr std::size_t kMacroSlotSize = kNameFieldSize;
inline constexpr int kFirstCtrlShiftMacroCommand = 32814;
inline constexpr int kFirstFunctionKeyMacroCommand = 32904;
inline constexpr std::string_view kDefaultKeyFileName = "tessel.key";
// The largest key definition file read: sixty definitions of at most 63 bytes fill a few
// kilobytes, so this leaves ample room for comments while keeping a stray huge file (or a
// device such as /dev/zero) from exhausting memory.
inline constexpr std::size_t kMaxKeyFileSize = 256 * 1024;

// The longest text the request mailbox carries, without its terminating zero.
inline constexpr std::size_t kMaxRequestTextLength = kBodySize - 1;
// Only this much of the input line is read for a macro's parameters.
inline constexpr std::size_t kMaxMacroInputLine = kLineFieldSize - 1;

struct MacroExpansion {
    std::string text;
    // A %1 to %5 occurred: the input pane starts a fresh line so the parameter words are
    // not sent as chat later.
    bool hadPlaceholder = false;
    // False when the text grew past kMaxRequestTextLength: it cannot go through the mailbox
    // and nothing is sent (and the input line is left as it is).
    bool fits = true;

    friend bool operator==(const MacroExpansion&, const MacroExpansion&) = default;
};

// A macro's text with %1 to %5 replaced by words 0 to 4 of `inputLine` (blank-and-tab words;
// missing words are empty), for N = 1 to 5 in turn, each over the text the previous steps
// left, so a word may bring in a later placeholder. Only the first kMaxMacroInputLine bytes
// of the line count. Expansion stops as soon as the text is longer than a request can be,
// which also bounds words that multiply placeholders.
MacroExpansion ExpandMacroText(std::string_view macro, std::string_view inputLine);

// The sixty macro keys and the key definition files that fill them, with the "sproll",
// "exec" and "include" lines. Runs on the window thread only.
class KeyMacros {
  public:
    struct Hooks {
        // IsConnected now.
        std::function<bool()> isConnected;
        // Hands a command to the connection thread through the request mailbox.
        std::function<void(std::string_view)> sendCommand;
        // Shows the user a notice (Shift-JIS, with its line end): a key file too large to read.
        std::function<void(std::string_view)> notice = {};
        // Every key file and include read (or tried: a missing one may be read later) is
        // recorded here, so that no received file can replace it.
        OwnFiles* ownFiles = nullptr;
    };

    // `startupDirectory` ends with "/"; included files are named relative to it.
    KeyMacros(std::string startupDirectory, Hooks hooks);

    // Applies the definitions of the key file at `path` in file order; false when it cannot
    // be opened (nothing changes then). Only regular files are read (a FIFO or device is
    // refused without waiting on it), and a file over kMaxKeyFileSize is refused with a
    // notice. `nested` is set for a file named by an include line, whose own include lines
    // are ignored. Lines end in LF or CR LF.
    bool LoadKeyFile(const std::string& path, bool nested = false);
    // tessel.key in the start-up directory, when the main frame is created.
    bool LoadDefaultKeyFile();
    // A file confirmed in the key definition dialog; on success it becomes KeyFileName.
    bool LoadChosenKeyFile(const std::string& path);

    // The dialog's starting path: the start-up directory and the last file loaded.
    std::string KeyConfigPath() const { return m_startupDirectory + m_keyFileName; }
    const std::string& KeyFileName() const { return m_keyFileName; }

    // Slot texts, empty for an unbound key or a slot outside the table.
    std::string_view CtrlShiftMacro(std::size_t slot) const;
    std::string_view FunctionKeyMacro(std::size_t slot) const;
    // The text bound to a macro command id (32814 to 32849, 32904 to 32927).
    std::optional<std::string_view> MacroForCommand(int commandId) const;

    // An "exec" command read while not connected, waiting for the connection; the frame
    // takes it (leaving it empty) once the handle and channel have been sent.
    const std::string& DeferredExec() const { return m_deferredExec; }
    std::string TakeDeferredExec();

  private:
    using Slot = FixedText<kMacroSlotSize>;

    void ApplyLine(std::string_view line, bool nested);
    void RecordOwnFile(const std::string& path);
    void RunExec(std::string_view command);

    std::string m_startupDirectory;
    Hooks m_hooks;
    std::array<Slot, kCtrlShiftMacroCount> m_ctrlShiftMacros;
    std::array<Slot, kFunctionKeyMacroCount> m_functionKeyMacros;
    std::string m_keyFileName;
    std::string m_deferredExec;
    std::vector<std::string> m_recorded;  // paths already handed to ownFiles
};

}  // namespace tessel
