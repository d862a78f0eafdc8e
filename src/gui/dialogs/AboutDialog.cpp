// SPDX-License-Identifier: MIT

#include "gui/dialogs/AboutDialog.h"

#include <QLineEdit>

#include "version/Version.h"

namespace tessel::gui {

CAboutDialog::CAboutDialog(QWidget* parent)
    : CTesselDialog(tr("ﾊﾞｰｼﾞｮﾝ情報(tessel)"), 218, 97, parent),
      m_address(QStringLiteral("tessel-dev@example.org")),
      m_url(QStringLiteral("https://tessel.example.org/")) {
    AddIcon(11, 17, 20, 20);
    // The version of this program, the one --version and the package show.
    AddStatic(QStringLiteral("tessel Version ") +
                  QString::fromLatin1(kVersion.data(), static_cast<qsizetype>(kVersion.size())),
              40, 10, 119, 8);
    AddStatic(tr("Linux / Qt %1 版").arg(QString::fromLatin1(qVersion())), 40, 25, 119, 8);
    AddOkButton(QStringLiteral("OK"), 179, 7, 32, 14);
    AddStatic(QStringLiteral("Auther's address :"), 7, 46, 54, 8);
    AddStatic(QStringLiteral("Auther's URL     :"), 7, 66, 52, 9);
    addressEdit_ = AddEdit(61, 46, 150, 14, true);
    urlEdit_ = AddEdit(61, 66, 150, 14, true);
}

void CAboutDialog::ToControls() {
    addressEdit_->setText(m_address);
    urlEdit_->setText(m_url);
}

}  // namespace tessel::gui
