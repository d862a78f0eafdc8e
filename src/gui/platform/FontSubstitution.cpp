// SPDX-License-Identifier: MIT

#include "gui/platform/FontSubstitution.h"

#include <QFontDatabase>
#include <QFontInfo>

namespace tessel::gui {

namespace {

// The Windows faces the settings and key files of the Windows program name.
const QStringList& WindowsJapaneseFaces() {
    static const QStringList faces{
        QString::fromUtf8("ＭＳ Ｐゴシック"), QString::fromUtf8("ＭＳ ゴシック"),
        QString::fromUtf8("ＭＳ Ｐ明朝"),     QString::fromUtf8("ＭＳ 明朝"),
        QStringLiteral("MS PGothic"),         QStringLiteral("MS Gothic"),
        QString::fromUtf8("メイリオ"),        QStringLiteral("Meiryo"),
    };
    return faces;
}

}  // namespace

QString JapaneseFallbackFamily() {
    static const QStringList preferred{
        QStringLiteral("IPAPGothic"),       QStringLiteral("IPAexGothic"),
        QStringLiteral("Noto Sans CJK JP"), QStringLiteral("VL PGothic"),
        QStringLiteral("TakaoPGothic"),     QStringLiteral("IPAGothic"),
    };
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : preferred) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    const QStringList japanese = QFontDatabase::families(QFontDatabase::Japanese);
    return japanese.isEmpty() ? QString() : japanese.front();
}

QString EnsureFamilyUsable(const QString& family) {
    if (family.isEmpty() || QFontDatabase::hasFamily(family)) {
        return family;
    }
    const QStringList existing = QFont::substitutes(family);
    for (const QString& substitute : existing) {
        if (QFontDatabase::hasFamily(substitute)) {
            return substitute;
        }
    }
    const QString fallback = JapaneseFallbackFamily();
    if (fallback.isEmpty()) {
        return family;  // nothing Japanese installed: Qt's own fallback is all there is
    }
    QFont::insertSubstitution(family, fallback);
    return fallback;
}

void InstallDefaultFontSubstitutions() {
    for (const QString& face : WindowsJapaneseFaces()) {
        EnsureFamilyUsable(face);
    }
}

QFont PaneFont(const QString& family, int tenthsOfPoint) {
    // A Windows face with its registered substitute keeps its name and draws through it; any
    // other missing face draws with the fallback, for this font alone.
    QString drawn = family;
    if (!family.isEmpty() && !QFontDatabase::hasFamily(family)) {
        bool substituted = false;
        for (const QString& substitute : QFont::substitutes(family)) {
            substituted = substituted || QFontDatabase::hasFamily(substitute);
        }
        const QString fallback = JapaneseFallbackFamily();
        if (!substituted && !fallback.isEmpty()) {
            drawn = fallback;
        }
    }
    QFont font(drawn);
    if (tenthsOfPoint > 0) {
        font.setPointSizeF(tenthsOfPoint / 10.0);
    }
    return font;
}

QString ShownFamily(const QFont& font) {
    return QFontInfo(font).family();
}

}  // namespace tessel::gui
