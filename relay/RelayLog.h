#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tessel::relay {

// Where the relay's log lines go: one call per line, without a line ending.
using LogSink = std::function<void(std::string_view line)>;

// Wire text (EUC-JP) made fit for one log line: converted to Shift-JIS, the program's own
// text encoding; control bytes shown as \xNN so that a client cannot forge log lines; cut
// to about `limit` bytes, never inside a character.
std::string LogText(std::string_view wire, std::size_t limit = 80);

}  // namespace tessel::relay
