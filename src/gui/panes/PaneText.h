#pragma once

#include <QString>

#include <optional>
#include <string>

namespace tessel::gui {

// Text the user typed or pasted, as code page 932 bytes, or nothing when a character has no
// code page 932 form. Linux input methods and documents use the JIS forms of a few characters
// where code page 932 keeps the same character at another code point (the wave dash of
// "〜" is the everyday case, then the minus sign, the em dash and the cent, pound and not
// signs); those are taken in their code page 932 form instead of refusing the line.
std::optional<std::string> TypedTextToShiftJis(const QString& text);

// The first character TypedTextToShiftJis cannot take, for the refusal message.
QString FirstUntypable(const QString& text);

}  // namespace tessel::gui
