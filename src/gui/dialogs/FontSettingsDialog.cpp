// SPDX-License-Identifier: MIT

#include "gui/dialogs/FontSettingsDialog.h"

#include "gui/platform/FontSubstitution.h"

#include <QFontInfo>
#include <QPushButton>

#include <cmath>

namespace tessel::gui {

int FontSizeTenths(const QFont& font) {
    double points = font.pointSizeF();
    if (points <= 0) {
        // A pixel-sized font: its size as the screen shows it.
        points = QFontInfo(font).pointSizeF();
    }
    return static_cast<int>(std::lround(points * 10.0));
}

CFontSettingsDialog::CFontSettingsDialog(QWidget* parent)
    : CTesselDialog(tr("フォントの設定"), 187, 61, parent) {
    AddOkButton(QStringLiteral("OK"), 7, 40, 50, 14);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 130, 40, 50, 14);
    displayButton_ = AddButton(tr("ディスプレイ"), 7, 7, 50, 14);
    inputButton_ = AddButton(tr("インプット"), 68, 7, 50, 14);
    memoButton_ = AddButton(tr("メモ"), 130, 7, 50, 14);

    connect(displayButton_, &QPushButton::clicked, this,
            [this] { Pick(m_dispFont, m_dispFontSize, m_dispFontName); });
    connect(inputButton_, &QPushButton::clicked, this,
            [this] { Pick(m_inputFont, m_inputFontSize, m_inputFontName); });
    connect(memoButton_, &QPushButton::clicked, this,
            [this] { Pick(m_memoFont, m_memoFontSize, m_memoFontName); });
}

void CFontSettingsDialog::Pick(QFont& font, int& size, QString& name) {
    // The picker starts on the face the pane shows: a stored face that is not installed here
    // is drawn with a stand-in, and the picker's list only knows installed faces.
    const QString shown = ShownFamily(font);
    QFont start = font;
    start.setFamilies({shown});
    std::optional<QFont> chosen = m_chooseFont(this, start);
    if (!chosen) {
        return;
    }
    // The panes take face and size only: no underline or strike-out.
    chosen->setUnderline(false);
    chosen->setStrikeOut(false);
    size = FontSizeTenths(*chosen);
    // A new size alone keeps the stored face, which may be installed on the next machine.
    if (chosen->family() != shown) {
        name = chosen->family();
    }
    font = *chosen;
}

}  // namespace tessel::gui
