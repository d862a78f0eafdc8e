// SPDX-License-Identifier: MIT

#include "frame/KeyMacros.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/FileSystem.h"
#include "protocol/TextFormat.h"
#include "protocol/Words.h"

namespace tessel {
namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";
constexpr int kMacroParameterCount = 5;
constexpr std::size_t kDigitKeys = 10;  // Ctrl+Shift+0..9 come before the letters

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(kWhiteSpace);
    if (first == std::string_view::npos) {
        return text.substr(text.size());  // empty, but still pointing into the line
    }
    const std::size_t last = text.find_last_not_of(kWhiteSpace);
    return text.substr(first, last - first + 1);
}

// Function key numbers are kept in a byte: only the low eight bits of the number count.
unsigned FunctionKeyNumber(std::string_view digits) {
    return static_cast<std::uint32_t>(ReadDecimal(digits)) & 0xFFu;
}

void StoreSlot(FixedText<kMacroSlotSize>& slot, std::string_view value) {
    slot.clear();
    slot.assign(value);  // longer values are cut to 63 bytes
}

}  // namespace

MacroExpansion ExpandMacroText(std::string_view macro, std::string_view inputLine) {
    const std::string_view line =
        TextOf(inputLine).substr(0, std::min(TextOf(inputLine).size(), kMaxMacroInputLine));
    MacroExpansion result;
    result.text = TextOf(macro);
    for (int n = 1; n <= kMacroParameterCount; ++n) {
        const std::string placeholder = "%" + std::to_string(n);
        const std::string_view word = WordAt(line, n - 1);
        std::size_t pos = 0;
        while ((pos = result.text.find(placeholder, pos)) != std::string::npos) {
            result.hadPlaceholder = true;
            result.text.replace(pos, placeholder.size(), word);
            pos += word.size();
            // Checked at every replacement: words that bring in further placeholders could
            // otherwise multiply the text far beyond any request.
            if (result.text.size() > kMaxRequestTextLength) {
                return MacroExpansion{.text = {}, .hadPlaceholder = false, .fits = false};
            }
        }
    }
    return result;
}

KeyMacros::KeyMacros(std::string startupDirectory, Hooks hooks)
    : m_startupDirectory(std::move(startupDirectory)), m_hooks(std::move(hooks)) {}

bool KeyMacros::LoadKeyFile(const std::string& path, bool nested) {
    RecordOwnFile(path);
    const FileBytes file = ReadRegularFile(path, kMaxKeyFileSize);
    if (file.status == ReadStatus::kTooLarge && m_hooks.notice) {
        m_hooks.notice(FillText(kFileTooLargeText, {path, std::to_string(kMaxKeyFileSize)}));
    }
    if (file.status != ReadStatus::kOk) {
        return false;
    }
    std::string_view rest = file.bytes;
    while (!rest.empty()) {
        const std::size_t feed = rest.find('\n');
        ApplyLine(rest.substr(0, feed), nested);  // a CR before the LF goes with the trimming
        rest.remove_prefix(feed == std::string_view::npos ? rest.size() : feed + 1);
    }
    return true;
}

void KeyMacros::RecordOwnFile(const std::string& path) {
    if (m_hooks.ownFiles == nullptr ||
        std::find(m_recorded.begin(), m_recorded.end(), path) != m_recorded.end()) {
        return;
    }
    m_recorded.push_back(path);
    m_hooks.ownFiles->Add(path);
}

bool KeyMacros::LoadDefaultKeyFile() {
    if (!LoadKeyFile(m_startupDirectory + std::string(kDefaultKeyFileName), false)) {
        return false;  // a missing default file is no error
    }
    m_keyFileName = kDefaultKeyFileName;
    return true;
}

bool KeyMacros::LoadChosenKeyFile(const std::string& path) {
    if (!LoadKeyFile(path, false)) {
        return false;
    }
    const std::size_t slash = path.rfind('/');
    m_keyFileName = slash == std::string::npos ? path : path.substr(slash + 1);
    return true;
}

std::string_view KeyMacros::CtrlShiftMacro(std::size_t slot) const {
    return slot < m_ctrlShiftMacros.size() ? m_ctrlShiftMacros[slot].view() : std::string_view();
}

std::string_view KeyMacros::FunctionKeyMacro(std::size_t slot) const {
    return slot < m_functionKeyMacros.size() ? m_functionKeyMacros[slot].view()
                                             : std::string_view();
}

std::optional<std::string_view> KeyMacros::MacroForCommand(int commandId) const {
    if (commandId >= kFirstCtrlShiftMacroCommand &&
        commandId < kFirstCtrlShiftMacroCommand + static_cast<int>(kCtrlShiftMacroCount)) {
        return CtrlShiftMacro(static_cast<std::size_t>(commandId - kFirstCtrlShiftMacroCommand));
    }
    if (commandId >= kFirstFunctionKeyMacroCommand &&
        commandId < kFirstFunctionKeyMacroCommand + static_cast<int>(kFunctionKeyMacroCount)) {
        return FunctionKeyMacro(
            static_cast<std::size_t>(commandId - kFirstFunctionKeyMacroCommand));
    }
    return std::nullopt;
}

std::string KeyMacros::TakeDeferredExec() {
    return std::exchange(m_deferredExec, {});
}

void KeyMacros::ApplyLine(std::string_view line, bool nested) {
    line = TextOf(line);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
        return;  // comments and other text
    }
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));

    if (key == "include") {
        if (!nested) {
            // Relative to the start-up directory, whatever the including file's place;
            // a file that cannot be opened is skipped without a word.
            LoadKeyFile(m_startupDirectory + std::string(value), true);
        }
        return;
    }
    if (key == "sproll") {
        SetSprollText(value);  // cut to 63 bytes there
        return;
    }
    if (key == "exec") {
        RunExec(value);
        return;
    }
    if (key.starts_with('f')) {
        const unsigned number = FunctionKeyNumber(key.substr(1));
        // f13 to f24 reach Shift+F1 to Shift+F12; larger numbers name no key.
        if (number >= 1 && number <= kFunctionKeyMacroCount) {
            StoreSlot(m_functionKeyMacros[number - 1], value);
        }
        return;
    }
    if (key.starts_with("sf")) {
        const unsigned number = FunctionKeyNumber(key.substr(2));
        constexpr std::size_t kPlainKeys = kFunctionKeyMacroCount / 2;
        if (number >= 1 && number <= kPlainKeys) {
            StoreSlot(m_functionKeyMacros[kPlainKeys + number - 1], value);
        }
        return;
    }
    if (key.size() == 1) {
        const char c = key[0];
        if (c >= '0' && c <= '9') {
            StoreSlot(m_ctrlShiftMacros[static_cast<std::size_t>(c - '0')], value);
        } else if (c >= 'A' && c <= 'Z') {
            StoreSlot(m_ctrlShiftMacros[kDigitKeys + static_cast<std::size_t>(c - 'A')], value);
        }
    }
}

void KeyMacros::RunExec(std::string_view command) {
    if (command.size() > kMaxRequestTextLength) {
        return;  // cannot go through the mailbox whole; a cut command could do harm
    }
    if (m_hooks.isConnected && m_hooks.isConnected()) {
        if (m_hooks.sendCommand) {
            m_hooks.sendCommand(command);
        }
        return;
    }
    m_deferredExec = command;  // replaces an earlier one; sent once connected
}

}  // namespace tessel
