// SPDX-License-Identifier: MIT

#pragma once

#include <QMainWindow>
#include <QString>
#include <QUrl>

#include "gui/help/ManualIndex.h"

#include <vector>

class QLineEdit;
class QListWidget;
class QTabWidget;
class QTextBrowser;
class QTreeWidget;
class QAction;

namespace tessel::gui {

// The help window: the Japanese manual in a QTextBrowser, with the contents of the manual and
// its keyword index beside it. The main frame creates one (with itself as parent, so the
// window closes with the program) and calls ShowContents() for "目次" and F1, and
// ShowKeyword() for "キーワード".
class CHelpWindow : public QMainWindow {
    Q_OBJECT

  public:
    // Reads the manual from FindManualRoot().
    explicit CHelpWindow(QWidget* parent = nullptr);
    // Reads the manual from the given folder (a directory or a Qt resource path such as
    // ":/tessel/help"); index.html is the contents page, keywords.html the keyword index.
    CHelpWindow(const QString& manualRoot, QWidget* parent);

    // Where the manual is read from: next to an installed program (<prefix>/share/tessel/help,
    // found relative to the executable), else the copy built into the program.
    static QString FindManualRoot();

    using Entry = ManualEntry;

    // What the window read; empty when the manual could not be found.
    const std::vector<Entry>& Contents() const { return m_contents; }
    const std::vector<Entry>& Keywords() const { return m_keywords; }

    QUrl CurrentPage() const;
    QTextBrowser* Browser() const { return m_browser; }
    QLineEdit* KeywordField() const { return m_keywordField; }
    QListWidget* KeywordList() const { return m_keywordList; }

  public slots:
    // Shows and raises the window on the contents page.
    void ShowContents();
    // Shows and raises the window on the keyword index with the search field set to keyword;
    // when one entry matches exactly (or only one entry matches at all) its page is opened.
    // An empty keyword just puts the focus in the search field.
    void ShowKeyword(const QString& keyword);

  private:
    void BuildUi();
    void LoadManual();
    void FillContents();
    void FilterKeywords(const QString& text);
    void OpenKeywordRow(int row);
    void Present();

    QString m_root;
    std::vector<Entry> m_contents;
    std::vector<Entry> m_keywords;

    QTabWidget* m_tabs = nullptr;
    QTreeWidget* m_contentsTree = nullptr;
    QLineEdit* m_keywordField = nullptr;
    QListWidget* m_keywordList = nullptr;
    QTextBrowser* m_browser = nullptr;
    QAction* m_back = nullptr;
    QAction* m_forward = nullptr;
};

}  // namespace tessel::gui
