#include "gui/panes/PaneText.h"

#include "gui/platform/TextCodec.h"

namespace tessel::gui {

namespace {

struct Variant {
    char16_t jis;
    char16_t codePage932;
};

constexpr Variant kVariants[] = {
    {u'\u301C', u'\uFF5E'},  // wave dash -> fullwidth tilde
    {u'\u2016', u'\u2225'},  // double vertical line -> parallel to
    {u'\u2212', u'\uFF0D'},  // minus sign -> fullwidth hyphen-minus
    {u'\u2014', u'\u2015'},  // em dash -> horizontal bar
    {u'\u00A2', u'\uFFE0'},  // cent sign
    {u'\u00A3', u'\uFFE1'},  // pound sign
    {u'\u00AC', u'\uFFE2'},  // not sign
    {u'\u00A6', u'\uFFE4'},  // broken bar
    {u'\u00A5', u'\uFFE5'},  // yen sign
    {u'\u203E', u'\uFFE3'},  // overline -> fullwidth macron
};

QString WithCodePage932Forms(QString text) {
    for (const Variant& variant : kVariants) {
        text.replace(QChar(variant.jis), QChar(variant.codePage932));
    }
    return text;
}

}  // namespace

std::optional<std::string> TypedTextToShiftJis(const QString& text) {
    return ToShiftJis(WithCodePage932Forms(text));
}

QString FirstUntypable(const QString& text) {
    return FirstUnencodable(WithCodePage932Forms(text));
}

}  // namespace tessel::gui
