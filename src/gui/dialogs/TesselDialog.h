// SPDX-License-Identifier: MIT

#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QString>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <optional>

#include "gui/dialogs/DialogUnits.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tessel::gui {

// What a browse button asks of a file picker.
struct FileChoice {
    bool save = false;    // a save-style picker (a name that does not exist yet may be typed)
    QString initialPath;  // directory and proposed file name
    QString filter;       // Qt filter string, ";;" between entries
};

// Services a dialog reaches through its owner. Each returns nothing when the user cancels. The
// defaults use QFileDialog, QColorDialog and QFontDialog; tests put recorders in their place.
using ChooseFile = std::function<QString(QWidget* parent, const FileChoice& choice)>;
using ChooseColor = std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)>;
using ChooseFont = std::function<std::optional<QFont>(QWidget* parent, const QFont& initial)>;
using ShowMessage = std::function<void(QWidget* parent, const QString& text)>;
// Plays a WAV file in the background (the frame hands it to its sound player).
using PlaySound = std::function<void(const QString& path)>;
// Starts the text editor on a file without waiting for it.
using OpenEditor = std::function<void(const QString& path)>;

ChooseFile DefaultChooseFile();
ChooseColor DefaultChooseColor();
ChooseFont DefaultChooseFont();
ShowMessage DefaultShowMessage();

// The common ground of every dialog: the template font, a fixed size in dialog units, controls
// placed at template positions in template order (which is also the Tab order), the values moved
// into the controls when the dialog is shown and read back on confirm. Values are filled by the
// owner between construction and exec() and read after it.
class CTesselDialog : public QDialog {
    Q_OBJECT

  public:
    // Shows a refusal (a range message); replaceable so tests can record it.
    ShowMessage m_showMessage = DefaultShowMessage();

    const DialogUnits& Units() const { return units_; }

    // Confirm: read and check the controls; end with the OK result only when every value is
    // acceptable, otherwise the failing field keeps the focus and the dialog stays open.
    void OnOK();
    // Cancel: end with the cancel result, values untouched.
    void OnCancel();

  protected:
    CTesselDialog(const QString& caption, int width, int height, QWidget* parent);

    // Moves the members into the controls (when the dialog is shown).
    virtual void ToControls() {}
    // Reads the controls into the members; false when a value is refused.
    virtual bool FromControls() { return true; }
    // Where the focus goes when the dialog opens; by default the first control that takes it.
    virtual void SetInitialFocus();

    QLabel* AddStatic(const QString& text, int x, int y, int width, int height);
    QLabel* AddIcon(int x, int y, int width, int height);
    QLineEdit* AddEdit(int x, int y, int width, int height, bool readOnly = false);
    QPushButton* AddButton(const QString& text, int x, int y, int width, int height,
                           bool isDefault = false);
    // Buttons 1 and 2 of a template: confirm and cancel.
    QPushButton* AddOkButton(const QString& text, int x, int y, int width, int height);
    QPushButton* AddCancelButton(const QString& text, int x, int y, int width, int height);
    QRadioButton* AddRadio(const QString& text, int x, int y, int width, int height);
    QGroupBox* AddGroupBox(const QString& text, int x, int y, int width, int height);
    // A sorted drop-down list; height is that of the open list.
    QComboBox* AddDropDownList(int x, int y, int width, int height);

    // Reads a whole number from `edit`. Outside [minimum, maximum] or not a number: shows the
    // range message, puts the focus on the field with its text selected and returns nothing.
    std::optional<int> ReadInteger(QLineEdit* edit, int minimum, int maximum);

    // A text that goes to the server or the settings as code page 932: one it cannot hold is
    // refused here, with the dialog kept open, so what was typed is not lost after closing.
    bool CheckCodePage(QLineEdit* edit);
    // A text that must fit a field of the protocol: longer than `maxBytes` in code page 932
    // is refused the same way. Call after CheckCodePage.
    bool CheckByteLength(QLineEdit* edit, int maxBytes);

    void showEvent(QShowEvent* event) override;

  private:
    void FitStaticTexts();

    DialogUnits units_;
    bool fitted_ = false;
};

// The text of the range message.
QString RangeMessage(int minimum, int maximum);

// Gives focus to an edit with all its text selected.
void FocusAndSelect(QLineEdit* edit);

// The entries of a destination list: "*" (everyone) and the handles up to the first empty one,
// sorted as the list shows them.
QStringList DestinationEntries(const QStringList& handles);

// Fills a destination list and selects `destination` when it is there (nothing selected
// otherwise).
void FillDestinationList(QComboBox* list, const QStringList& handles, const QString& destination);

// A radio group bound to an index: button `index` checked, none when the index is outside the
// group; and back, -1 when none is checked.
void CheckRadioIndex(std::initializer_list<QRadioButton*> group, int index);
int CheckedRadioIndex(std::initializer_list<QRadioButton*> group);

// The ".wav" rule of the sound fields: a name that contains ".wav" nowhere gets it appended.
QString WithWavExtension(const QString& name);

// Where a sound chosen in a dialog is played for a test: a bare name from the sound directory,
// anything with a directory separator as it stands.
QString SoundTestPath(const QString& waveDirectory, const QString& name);

}  // namespace tessel::gui
