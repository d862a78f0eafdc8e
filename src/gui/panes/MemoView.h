// SPDX-License-Identifier: MIT

#pragma once

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QString>

#include <functional>

#include "settings/Settings.h"

namespace tessel::gui {

// The memo pane: the user's own notes, never sent. Loaded from and saved to text files in
// code page 932 with CR LF line ends; the directory of the last file is remembered in
// memofiledir, the file name for this run only.
class CMemoView : public QPlainTextEdit {
    Q_OBJECT

  public:
    // The dialogs the memo uses; tests replace them.
    struct Dialogs {
        // Open (save false) or save (save true) file dialog starting at `initialPath`; an
        // empty result means cancelled. The save dialog asks before replacing a file.
        std::function<QString(bool save, const QString& initialPath)> chooseFile;
        // "Save the memo?" with Yes, No and Cancel.
        std::function<QMessageBox::StandardButton()> askSave;
        // A file could not be read or written.
        std::function<void(const QString& message)> warn;
    };

    // Colours, font and memofiledir are read from `settings` now.
    CMemoView(Settings& settings, QWidget* parent = nullptr);

    void SetDialogs(Dialogs dialogs) { dialogs_ = std::move(dialogs); }

    // The load command: a file dialog, then the file replaces the text. Unsaved text is
    // offered for saving first. False when nothing was loaded.
    bool Load();
    // The save command: a file dialog (asking before it replaces a file), then the text is
    // written. False when nothing was written.
    bool Save();
    bool SaveAs() { return Save(); }
    // The window is closing: unsaved text is offered for saving. False means stay open
    // (Cancel, or a save that did not happen).
    bool MaybeSave();

    // Without dialogs. A failure is reported through the warn dialog and changes nothing.
    bool LoadFrom(const QString& path);
    bool SaveTo(const QString& path);

    // The directory of the last memo file (ending with "/") and its name ("*.*" before any).
    QString MemoDirectory() const { return memoDirectory_; }
    QString MemoFileName() const { return memoFileName_; }

    void SetColours(std::int32_t text, std::int32_t background);
    void SetMemoFont(const QFont& font);
    QFont MemoFont() const { return font(); }
    void ApplySettings();

  private:
    void Remember(const QString& path);
    QString InitialPath() const;
    void StoreDirectory() const;

    Settings& settings_;
    Dialogs dialogs_;
    QString memoDirectory_;
    QString memoFileName_ = QStringLiteral("*.*");
};

}  // namespace tessel::gui
