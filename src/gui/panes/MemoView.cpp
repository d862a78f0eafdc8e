// SPDX-License-Identifier: MIT

#include "gui/panes/MemoView.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QSaveFile>

#include "gui/panes/PaneStyle.h"
#include "gui/platform/TextCodec.h"

namespace tessel::gui {

namespace {

// "*" rather than "*.*": on Linux many text files have no extension, and "*.*" would hide them.
const QString kFilter = QStringLiteral("Text Files (*.txt);;All Files (*)");

CMemoView::Dialogs DefaultDialogs(QWidget* owner) {
    CMemoView::Dialogs dialogs;
    dialogs.chooseFile = [owner](bool save, const QString& initialPath) {
        return save ? QFileDialog::getSaveFileName(owner, QString(), initialPath, kFilter)
                    : QFileDialog::getOpenFileName(owner, QString(), initialPath, kFilter);
    };
    dialogs.askSave = [owner] {
        return QMessageBox::question(
            owner, QCoreApplication::translate("tessel::gui::CMemoView", "メモのセーブ確認"),
            QCoreApplication::translate("tessel::gui::CMemoView",
                                        "メモがセーブされていません。セーブしますか？"),
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    };
    dialogs.warn = [owner](const QString& message) {
        QMessageBox::warning(owner, QCoreApplication::translate("tessel::gui::CMemoView", "メモ"),
                             message);
    };
    return dialogs;
}

// What the edit holds, as it goes to disk: code page 932 with CR LF line ends.
QString WithCrLf(const QString& text) {
    QString out = text;
    out.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return out;
}

}  // namespace

CMemoView::CMemoView(Settings& settings, QWidget* parent)
    : QPlainTextEdit(parent), settings_(settings), dialogs_(DefaultDialogs(this)) {
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoDirectory_ = FromShiftJis(settings.GetString(SettingKey::memofiledir));
    if (!memoDirectory_.isEmpty() && !memoDirectory_.endsWith(QLatin1Char('/'))) {
        memoDirectory_ += QLatin1Char('/');  // a hand-edited directory without its separator
    }
    ApplySettings();
}

void CMemoView::SetColours(std::int32_t text, std::int32_t background) {
    setPalette(PanePalette(palette(), ColourFromRef(text), ColourFromRef(background)));
}

void CMemoView::SetMemoFont(const QFont& font) {
    setFont(font);
}

void CMemoView::ApplySettings() {
    SetColours(settings_.GetInt(SettingKey::memocolor), settings_.GetInt(SettingKey::memobkcolor));
    SetMemoFont(FontFromSettings(settings_, SettingKey::memofontname, SettingKey::memofontsize));
}

void CMemoView::Remember(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    memoDirectory_ = path.left(slash + 1);
    memoFileName_ = path.mid(slash + 1);
}

QString CMemoView::InitialPath() const {
    // Before any file the name is the wildcard "*.*", which a Linux file dialog would offer as
    // a file name; the dialog then starts in the directory alone.
    return memoFileName_ == QStringLiteral("*.*") ? memoDirectory_ : memoDirectory_ + memoFileName_;
}

void CMemoView::StoreDirectory() const {
    // A directory the settings file cannot spell is kept for this run only.
    if (const std::optional<std::string> bytes = ToShiftJis(memoDirectory_)) {
        settings_.SetString(SettingKey::memofiledir, *bytes);
    }
}

bool CMemoView::LoadFrom(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        dialogs_.warn(
            tr("メモファイル「%1」を読み込めませんでした。\n%2").arg(path, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        dialogs_.warn(
            tr("メモファイル「%1」を読み込めませんでした。\n%2").arg(path, file.errorString()));
        return false;
    }
    QString text = FromShiftJis(std::string_view(bytes.constData(), bytes.size()));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    setPlainText(text);
    document()->setModified(false);
    Remember(path);
    StoreDirectory();
    return true;
}

bool CMemoView::SaveTo(const QString& path) {
    const QString text = WithCrLf(toPlainText());
    const std::optional<std::string> bytes = TypedTextToShiftJis(text);
    if (!bytes) {
        dialogs_.warn(tr("「%1」はシフトJISで表せない文字のため、メモを保存できませんでした。")
                          .arg(FirstUntypable(text)));
        return false;
    }
    // The old file stays whole until the new text is completely on disk.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes->data(), static_cast<qint64>(bytes->size())) !=
            static_cast<qint64>(bytes->size()) ||
        !file.commit()) {
        dialogs_.warn(
            tr("メモファイル「%1」に書き込めませんでした。\n%2").arg(path, file.errorString()));
        return false;
    }
    document()->setModified(false);
    Remember(path);
    StoreDirectory();
    return true;
}

bool CMemoView::Load() {
    if (document()->isModified() && !MaybeSave()) {
        return false;
    }
    const QString path = dialogs_.chooseFile(false, InitialPath());
    if (path.isEmpty()) {
        return false;
    }
    return LoadFrom(path);
}

bool CMemoView::Save() {
    const QString path = dialogs_.chooseFile(true, InitialPath());
    if (path.isEmpty()) {
        return false;
    }
    return SaveTo(path);
}

bool CMemoView::MaybeSave() {
    if (!document()->isModified()) {
        return true;
    }
    switch (dialogs_.askSave()) {
        case QMessageBox::Yes:
            return Save();
        case QMessageBox::No:
            return true;
        default:
            return false;
    }
}

}  // namespace tessel::gui
