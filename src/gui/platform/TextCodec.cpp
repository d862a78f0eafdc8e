// SPDX-License-Identifier: MIT

#include "gui/platform/TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include "platform/FileSystem.h"
#include "protocol/Charset.h"

namespace tessel::gui {

namespace {

// windows-31j rather than plain Shift_JIS: the Windows program's texts use its extensions
// (circled digits, the NEC and IBM rows) and its mapping of the wave dash.
constexpr const char* kCodePage = "windows-31j";

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

}  // namespace

QString FromShiftJis(std::string_view bytes) {
    // The converter holds a lead byte cut off at the end back for a continuation that never
    // comes; show it as a replacement character instead of losing it.
    bool cutLead = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (IsShiftJisLead(static_cast<unsigned char>(bytes[i]))) {
            if (i + 1 == bytes.size()) {
                cutLead = true;
                bytes.remove_suffix(1);
                break;
            }
            ++i;
        }
    }
    QStringDecoder decoder(kCodePage);
    QString text =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (cutLead) {
        text += QChar::ReplacementCharacter;
    }
    return text;
}

std::optional<std::string> ToShiftJis(const QString& text) {
    QStringEncoder encoder(kCodePage);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) {
        return std::nullopt;
    }
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString FirstUnencodable(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QString character = text.mid(i, length);
        if (!ToShiftJis(character)) {
            return character;
        }
        i += length - 1;
    }
    return {};
}

QString WithCodePage932Forms(QString text) {
    for (const Variant& variant : kVariants) {
        text.replace(QChar(variant.jis), QChar(variant.codePage932));
    }
    return text;
}

std::optional<std::string> TypedTextToShiftJis(const QString& text) {
    return ToShiftJis(WithCodePage932Forms(text));
}

QString FirstUntypable(const QString& text) {
    return FirstUnencodable(WithCodePage932Forms(text));
}

QString FromCorePath(std::string_view corePath) {
    if (const std::optional<std::string> system = SystemPath(corePath)) {
        return QString::fromStdString(*system);
    }
    return FromShiftJis(corePath);
}

std::optional<std::string> ToCorePath(const QString& path) {
    return CorePath(path.toStdString());
}

std::string ToCorePathOrEmpty(const QString& path) {
    return ToCorePath(path).value_or(std::string());
}

}  // namespace tessel::gui
