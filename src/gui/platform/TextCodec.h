// SPDX-License-Identifier: MIT

#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace tessel::gui {

// The core keeps every text as code page 932 bytes; widgets hold QString. These two calls are
// the only crossing between them, so a text the code page cannot hold is caught in one place.

// Code page 932 bytes to a QString. Bytes that do not form a character show as U+FFFD rather
// than being dropped, so a damaged line is still visible.
QString FromShiftJis(std::string_view bytes);

// A QString to code page 932 bytes, or nothing when a character has no code page 932 form
// (the caller refuses the text instead of sending or storing a mangled one).
std::optional<std::string> ToShiftJis(const QString& text);

// The first character of text that code page 932 cannot hold, for the refusal message.
QString FirstUnencodable(const QString& text);

// Linux input methods and documents use the JIS forms of a few characters where code page 932
// keeps the same character at another code point (the wave dash of "〜" is the everyday case,
// then the minus sign, the em dash and the cent, pound and not signs). Typed text takes them in
// their code page 932 form instead of being refused.
QString WithCodePage932Forms(QString text);

// Text the user typed or pasted, as code page 932 bytes (JIS forms taken as above), or nothing
// when a character has no code page 932 form.
std::optional<std::string> TypedTextToShiftJis(const QString& text);

// The first character TypedTextToShiftJis cannot take, for the refusal message.
QString FirstUntypable(const QString& text);

// Paths cross between the core (code page 932 bytes, like every other text) and Qt (file
// dialogs, QFile) through these two, so that a Japanese file name is UTF-8 on disk.

// A path the core keeps, for a widget or QFile. A name with no file-system form is shown as
// its characters anyway, so the user still sees which file is meant.
QString FromCorePath(std::string_view corePath);

// A path from a file dialog or QDir, as the core keeps it; nothing when code page 932 cannot
// hold it (the caller refuses the choice).
std::optional<std::string> ToCorePath(const QString& path);

// The same for commands that refuse an empty path with their own failure line.
std::string ToCorePathOrEmpty(const QString& path);

}  // namespace tessel::gui
