// SPDX-License-Identifier: MIT

#include "gui/dialogs/FileReceiveDialog.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace tessel::gui {
namespace {

const QString kAllFilesFilter = QStringLiteral("All Files (*)");

}  // namespace

QString ReceiveDirectoryOf(const QString& chosenPath) {
    QString path = chosenPath;
    if (!path.endsWith(QLatin1Char('/')) && QFileInfo(path).isDir()) {
        path += QLatin1Char('/');
    }
    QString directory = path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (!directory.endsWith(QLatin1Char('/'))) {
        directory += QLatin1Char('/');
    }
    return directory;
}

CFileReceiveDialog::CFileReceiveDialog(QWidget* parent)
    : CTesselDialog(tr("ファイル受信指定"), 187, 75, parent) {
    QPushButton* ok = AddButton(QStringLiteral("OK"), 7, 54, 50, 14, true);
    AddCancelButton(tr("ｷｬﾝｾﾙ"), 67, 54, 50, 14);
    refuseButton_ = AddButton(tr("受信拒否"), 130, 54, 50, 14);
    AddStatic(tr("受信先ディレクトリを指定して下さい"), 7, 7, 103, 8);
    directoryEdit_ = AddEdit(7, 25, 135, 14);
    browseButton_ = AddButton(tr("詳細"), 148, 25, 32, 14);

    connect(ok, &QPushButton::clicked, this, [this] {
        m_accept = 1;
        OnOK();
    });
    connect(refuseButton_, &QPushButton::clicked, this, [this] {
        m_accept = 0;
        OnOK();
    });
    connect(browseButton_, &QPushButton::clicked, this, &CFileReceiveDialog::Browse);
}

void CFileReceiveDialog::ToControls() {
    directoryEdit_->setText(m_directory);
}

bool CFileReceiveDialog::FromControls() {
    if (!CheckCodePage(directoryEdit_)) {
        return false;
    }
    // Without a directory received files would have nowhere of their own to go.
    if (m_accept == 1 && directoryEdit_->text().trimmed().isEmpty()) {
        m_showMessage(this, tr("受信したファイルを保存するディレクトリを指定してください。"));
        FocusAndSelect(directoryEdit_);
        return false;
    }
    m_directory = directoryEdit_->text();
    // Received names are appended to the directory directly, so an accepted directory must end
    // with a separator.
    if (m_accept == 1 && !m_directory.isEmpty() && !m_directory.endsWith(QLatin1Char('/'))) {
        m_directory += QLatin1Char('/');
    }
    return true;
}

void CFileReceiveDialog::Browse() {
    FileChoice choice;
    choice.save = true;
    choice.initialPath = directoryEdit_->text() + QStringLiteral("samples");
    choice.filter = kAllFilesFilter;
    const QString chosen = m_chooseFile(this, choice);
    if (chosen.isEmpty()) {
        return;
    }
    directoryEdit_->setText(ReceiveDirectoryOf(chosen));
}

}  // namespace tessel::gui
