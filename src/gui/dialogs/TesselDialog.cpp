// SPDX-License-Identifier: MIT

#include "gui/dialogs/TesselDialog.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>

#include "gui/platform/TextCodec.h"

namespace tessel::gui {
namespace {

// The title of the message boxes the dialogs show, as the framework titles them after the
// application.
const QString kMessageTitle = QStringLiteral("tessel");

// Labels are never made smaller than this to fit their box.
constexpr double kSmallestLabelPoints = 7.0;

// Windows sorts a sorted list without regard to case; equal entries keep their order.
void SortEntries(QStringList& entries) {
    std::stable_sort(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
}

}  // namespace

ChooseFile DefaultChooseFile() {
    return [](QWidget* parent, const FileChoice& choice) {
        if (choice.save) {
            return QFileDialog::getSaveFileName(parent, QString(), choice.initialPath,
                                                choice.filter, nullptr,
                                                QFileDialog::DontConfirmOverwrite);
        }
        return QFileDialog::getOpenFileName(parent, QString(), choice.initialPath, choice.filter);
    };
}

ChooseColor DefaultChooseColor() {
    return [](QWidget* parent, const QColor& initial) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, parent);
        if (!chosen.isValid()) {
            return std::nullopt;
        }
        return chosen;
    };
}

ChooseFont DefaultChooseFont() {
    return [](QWidget* parent, const QFont& initial) -> std::optional<QFont> {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, initial, parent);
        if (!ok) {
            return std::nullopt;
        }
        return chosen;
    };
}

ShowMessage DefaultShowMessage() {
    return [](QWidget* parent, const QString& text) {
        QMessageBox::warning(parent, kMessageTitle, text);
    };
}

QString RangeMessage(int minimum, int maximum) {
    return QCoreApplication::translate("tessel::gui::CTesselDialog",
                                       "%1 から %2 までの整数を入力してください。")
        .arg(minimum)
        .arg(maximum);
}

void FocusAndSelect(QLineEdit* edit) {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

QStringList DestinationEntries(const QStringList& handles) {
    QStringList entries{QStringLiteral("*")};
    for (const QString& handle : handles) {
        if (handle.isEmpty()) {
            break;
        }
        entries.append(handle);
    }
    SortEntries(entries);
    return entries;
}

void FillDestinationList(QComboBox* list, const QStringList& handles, const QString& destination) {
    list->clear();
    list->addItems(DestinationEntries(handles));
    list->setCurrentIndex(list->findText(destination, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void CheckRadioIndex(std::initializer_list<QRadioButton*> group, int index) {
    const bool inGroup = index >= 0 && static_cast<std::size_t>(index) < group.size();
    int position = 0;
    for (QRadioButton* button : group) {
        // An exclusive button cannot be unchecked directly; "none checked" must be possible.
        const bool exclusive = button->autoExclusive();
        button->setAutoExclusive(false);
        button->setChecked(position == index);
        button->setAutoExclusive(exclusive);
        // A group is one Tab stop: the checked button, or the first when none is.
        const bool tabStop = inGroup ? position == index : position == 0;
        const int policy = button->focusPolicy();
        button->setFocusPolicy(static_cast<Qt::FocusPolicy>(tabStop ? (policy | Qt::TabFocus)
                                                                    : (policy & ~Qt::TabFocus)));
        ++position;
    }
}

int CheckedRadioIndex(std::initializer_list<QRadioButton*> group) {
    int position = 0;
    for (const QRadioButton* button : group) {
        if (button->isChecked()) {
            return position;
        }
        ++position;
    }
    return -1;
}

QString WithWavExtension(const QString& name) {
    if (name.contains(QStringLiteral(".wav"))) {
        return name;
    }
    return name + QStringLiteral(".wav");
}

QString SoundTestPath(const QString& waveDirectory, const QString& name) {
    if (name.contains(QLatin1Char('/'))) {
        return name;
    }
    return waveDirectory + name;
}

CTesselDialog::CTesselDialog(const QString& caption, int width, int height, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      units_(DialogFont()) {
    setFont(DialogFont());
    setWindowTitle(caption);
    setModal(true);
    setFixedSize(units_.Size(width, height));
}

void CTesselDialog::OnOK() {
    if (FromControls()) {
        accept();
    }
}

void CTesselDialog::OnCancel() {
    reject();
}

void CTesselDialog::SetInitialFocus() {
    focusNextPrevChild(true);
}

void CTesselDialog::FitStaticTexts() {
    // The templates were measured with one Windows face; the face that stands in for it here
    // may draw a label wider than its template box. A label then takes free room to its right
    // (never over another control), and only when that is not enough a slightly smaller size,
    // so no text is cut off.
    const QList<QWidget*> siblings = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    const int rightEdge = width() - units_.X(4);
    for (QLabel* label : findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        if (label->text().isEmpty()) {
            continue;
        }
        // One pixel more than the advance: the last glyph's ink may reach past it.
        const auto textWidth = [label](const QFont& font) {
            return QFontMetrics(font).horizontalAdvance(label->text()) + 1;
        };
        QRect box = label->geometry();
        if (textWidth(label->font()) <= box.width()) {
            continue;
        }
        int limit = rightEdge;
        for (const QWidget* other : siblings) {
            const QRect g = other->geometry();
            if (other != label && !other->isWindow() &&
                qobject_cast<const QGroupBox*>(other) == nullptr && g.left() >= box.right() &&
                g.top() <= box.bottom() && g.bottom() >= box.top()) {
                limit = std::min(limit, g.left() - 1);
            }
        }
        box.setWidth(std::max(box.width(), std::min(textWidth(label->font()), limit - box.left())));
        label->setGeometry(box);
        QFont smaller = label->font();
        while (textWidth(smaller) > box.width() && smaller.pointSizeF() > kSmallestLabelPoints) {
            smaller.setPointSizeF(smaller.pointSizeF() - 0.5);
        }
        label->setFont(smaller);
    }
}

void CTesselDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        if (!fitted_) {
            FitStaticTexts();
            fitted_ = true;
        }
        ToControls();
        SetInitialFocus();
    }
}

QLabel* CTesselDialog::AddStatic(const QString& text, int x, int y, int width, int height) {
    auto* label = new QLabel(text, this);
    label->setGeometry(units_.Rect(x, y, width, height));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* CTesselDialog::AddIcon(int x, int y, int width, int height) {
    auto* label = new QLabel(this);
    const QRect rect = units_.Rect(x, y, width, height);
    label->setGeometry(rect);
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) {
        icon = style()->standardIcon(QStyle::SP_MessageBoxInformation);
    }
    label->setPixmap(icon.pixmap(rect.size()));
    return label;
}

QLineEdit* CTesselDialog::AddEdit(int x, int y, int width, int height, bool readOnly) {
    auto* edit = new QLineEdit(this);
    edit->setGeometry(units_.Rect(x, y, width, height));
    edit->setReadOnly(readOnly);
    return edit;
}

QPushButton* CTesselDialog::AddButton(const QString& text, int x, int y, int width, int height,
                                      bool isDefault) {
    auto* button = new QPushButton(text, this);
    button->setGeometry(units_.Rect(x, y, width, height));
    button->setDefault(isDefault);
    return button;
}

QPushButton* CTesselDialog::AddOkButton(const QString& text, int x, int y, int width, int height) {
    QPushButton* button = AddButton(text, x, y, width, height, true);
    connect(button, &QPushButton::clicked, this, &CTesselDialog::OnOK);
    return button;
}

QPushButton* CTesselDialog::AddCancelButton(const QString& text, int x, int y, int width,
                                            int height) {
    QPushButton* button = AddButton(text, x, y, width, height);
    connect(button, &QPushButton::clicked, this, &CTesselDialog::OnCancel);
    return button;
}

QRadioButton* CTesselDialog::AddRadio(const QString& text, int x, int y, int width, int height) {
    auto* radio = new QRadioButton(text, this);
    radio->setGeometry(units_.Rect(x, y, width, height));
    return radio;
}

QGroupBox* CTesselDialog::AddGroupBox(const QString& text, int x, int y, int width, int height) {
    auto* box = new QGroupBox(text, this);
    box->setGeometry(units_.Rect(x, y, width, height));
    // The title sits on the frame's top line, its middle on the line, as the template's group
    // boxes are drawn; the style's own places it above the frame, where it collides with the
    // controls placed for the template's layout.
    const int half = box->fontMetrics().height() / 2;
    box->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: "
                                      "2px; margin-top: %1px; }"
                                      "QGroupBox::title { subcontrol-origin: margin; "
                                      "subcontrol-position: top left; left: %2px; top: 0px; "
                                      "padding: 0 2px; }")
                           .arg(half)
                           .arg(half));
    // The frame is drawn behind the controls it surrounds, which are its siblings as in the
    // template, so clicks reach them whichever comes first.
    box->lower();
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QComboBox* CTesselDialog::AddDropDownList(int x, int y, int width, int height) {
    auto* list = new QComboBox(this);
    list->setEditable(false);
    list->setInsertPolicy(QComboBox::NoInsert);
    // The template height is that of the open list; the closed box is one line high.
    const QRect rect = units_.Rect(x, y, width, height);
    list->setGeometry(rect.x(), rect.y(), rect.width(), list->sizeHint().height());
    const int itemHeight = std::max(1, list->fontMetrics().height());
    list->setMaxVisibleItems(std::max(1, (rect.height() - list->sizeHint().height()) / itemHeight));
    return list;
}

bool CTesselDialog::CheckCodePage(QLineEdit* edit) {
    const QString held = WithCodePage932Forms(edit->text());
    if (held != edit->text()) {
        edit->setText(held);
    }
    const QString refused = FirstUnencodable(held);
    if (refused.isEmpty()) {
        return true;
    }
    m_showMessage(this, tr("「%1」は Shift-JIS で表せない文字のため使えません。").arg(refused));
    FocusAndSelect(edit);
    return false;
}

bool CTesselDialog::CheckByteLength(QLineEdit* edit, int maxBytes) {
    const std::optional<std::string> bytes = ToShiftJis(edit->text());
    if (bytes && bytes->size() <= static_cast<std::size_t>(maxBytes)) {
        return true;
    }
    m_showMessage(this, tr("長すぎます（%1 バイトまで）。").arg(maxBytes));
    FocusAndSelect(edit);
    return false;
}

std::optional<int> CTesselDialog::ReadInteger(QLineEdit* edit, int minimum, int maximum) {
    const QString text = edit->text().trimmed();
    bool ok = false;
    // Only decimal digits with an optional sign count as a number (no base prefixes, no
    // group separators).
    const bool digitsOnly =
        !text.isEmpty() &&
        std::all_of(
            text.begin() +
                ((text.front() == QLatin1Char('-') || text.front() == QLatin1Char('+')) ? 1 : 0),
            text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const long long value = digitsOnly ? text.toLongLong(&ok, 10) : 0;
    if (ok && value >= minimum && value <= maximum) {
        return static_cast<int>(value);
    }
    m_showMessage(this, RangeMessage(minimum, maximum));
    FocusAndSelect(edit);
    return std::nullopt;
}

}  // namespace tessel::gui
