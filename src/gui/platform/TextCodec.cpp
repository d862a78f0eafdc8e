#include "gui/platform/TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include "platform/FileSystem.h"

namespace tessel::gui {

namespace {

// windows-31j rather than plain Shift_JIS: the Windows program's texts use its extensions
// (circled digits, the NEC and IBM rows) and its mapping of the wave dash.
constexpr const char* kCodePage = "windows-31j";

bool IsLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

QString FromShiftJis(std::string_view bytes) {
    // The converter holds a lead byte cut off at the end back for a continuation that never
    // comes; show it as a replacement character instead of losing it.
    bool cutLead = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(bytes[i]))) {
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

QString FromCorePath(std::string_view corePath) {
    if (const std::optional<std::string> system = SystemPath(corePath)) {
        return QString::fromStdString(*system);
    }
    return FromShiftJis(corePath);
}

std::optional<std::string> ToCorePath(const QString& path) {
    return CorePath(path.toStdString());
}

}  // namespace tessel::gui
