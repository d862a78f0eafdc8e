// SPDX-License-Identifier: MIT

#include "gui/help/HelpWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "gui/help/ApplicationIcon.h"

#ifndef TESSEL_HELP_FROM_BIN
#define TESSEL_HELP_FROM_BIN "../share/tessel/help"
#endif

namespace tessel::gui {

namespace {

constexpr const char* kBuiltInManual = ":/tessel/help";
constexpr const char* kContentsPage = "index.html";
constexpr const char* kKeywordPage = "keywords.html";

// A file of the manual as a URL the browser can load: qrc: for the built-in copy, file:
// for an installed one.
QUrl PageUrl(const QString& root, const QString& page) {
    const QString path = root + QLatin1Char('/') + page;
    if (root.startsWith(QLatin1Char(':'))) {
        return QUrl(QStringLiteral("qrc") + path);
    }
    return QUrl::fromLocalFile(path);
}

QString ReadUtf8(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

}  // namespace

CHelpWindow::CHelpWindow(QWidget* parent) : CHelpWindow(FindManualRoot(), parent) {}

CHelpWindow::CHelpWindow(const QString& manualRoot, QWidget* parent)
    : QMainWindow(parent), m_root(manualRoot) {
    // A window of its own even when the main frame owns it.
    setWindowFlag(Qt::Window, true);
    setWindowTitle(tr("tessel ヘルプ"));
    setWindowIcon(ApplicationIcon());
    BuildUi();
    LoadManual();
    resize(900, 640);
}

QString CHelpWindow::FindManualRoot() {
    // An installed program reads the installed manual, wherever the prefix was moved to;
    // a program run from the build tree (or an install without the manual) reads its
    // built-in copy, which always matches the program.
    const QString beside = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                           QStringLiteral("/" TESSEL_HELP_FROM_BIN));
    if (QFileInfo::exists(beside + QLatin1Char('/') + QLatin1String(kContentsPage)) &&
        QFileInfo::exists(beside + QLatin1Char('/') + QLatin1String(kKeywordPage))) {
        return beside;
    }
    return QString::fromLatin1(kBuiltInManual);
}

void CHelpWindow::BuildUi() {
    m_browser = new QTextBrowser(this);
    m_browser->setOpenLinks(true);
    m_browser->setOpenExternalLinks(true);

    m_contentsTree = new QTreeWidget(this);
    m_contentsTree->setHeaderHidden(true);
    m_contentsTree->setColumnCount(1);

    auto* keywordPane = new QWidget(this);
    auto* keywordLayout = new QVBoxLayout(keywordPane);
    keywordLayout->setContentsMargins(4, 4, 4, 4);
    auto* keywordLabel = new QLabel(tr("キーワードを入力してください(&K):"), keywordPane);
    m_keywordField = new QLineEdit(keywordPane);
    m_keywordField->setClearButtonEnabled(true);
    keywordLabel->setBuddy(m_keywordField);
    m_keywordList = new QListWidget(keywordPane);
    keywordLayout->addWidget(keywordLabel);
    keywordLayout->addWidget(m_keywordField);
    keywordLayout->addWidget(m_keywordList);

    m_tabs = new QTabWidget(this);
    m_tabs->addTab(m_contentsTree, tr("目次"));
    m_tabs->addTab(keywordPane, tr("キーワード"));

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_tabs);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({260, 640});
    setCentralWidget(splitter);

    auto* bar = addToolBar(tr("ナビゲーション"));
    bar->setMovable(false);
    m_back = bar->addAction(tr("戻る"), m_browser, &QTextBrowser::backward);
    m_back->setShortcut(QKeySequence::Back);
    m_back->setEnabled(false);
    m_forward = bar->addAction(tr("進む"), m_browser, &QTextBrowser::forward);
    m_forward->setShortcut(QKeySequence::Forward);
    m_forward->setEnabled(false);
    QAction* home = bar->addAction(tr("目次"), this, &CHelpWindow::ShowContents);
    home->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);

    connect(m_contentsTree, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        m_browser->setSource(item->data(0, Qt::UserRole).toUrl());
    });
    connect(m_contentsTree, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        m_browser->setSource(item->data(0, Qt::UserRole).toUrl());
    });
    connect(m_keywordField, &QLineEdit::textChanged, this, &CHelpWindow::FilterKeywords);
    connect(m_keywordField, &QLineEdit::returnPressed, this,
            [this] { OpenKeywordRow(m_keywordList->currentRow()); });
    connect(m_keywordList, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { OpenKeywordRow(m_keywordList->row(item)); });
    connect(m_keywordList, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { OpenKeywordRow(m_keywordList->row(item)); });
}

void CHelpWindow::LoadManual() {
    const QString contents = ReadUtf8(m_root + QLatin1Char('/') + QLatin1String(kContentsPage));
    const QString keywords = ReadUtf8(m_root + QLatin1Char('/') + QLatin1String(kKeywordPage));
    if (contents.isEmpty()) {
        m_browser->setHtml(
            tr("<p>ヘルプファイルが見つかりません: %1</p>").arg(m_root.toHtmlEscaped()));
        return;
    }
    m_contents = ReadManualLinks(contents, PageUrl(m_root, QLatin1String(kContentsPage)));
    m_keywords = ReadManualLinks(keywords, PageUrl(m_root, QLatin1String(kKeywordPage)));
    FillContents();
    for (const Entry& entry : m_keywords) {
        auto* item = new QListWidgetItem(entry.text, m_keywordList);
        item->setData(Qt::UserRole, entry.target);
    }
    m_browser->setSource(PageUrl(m_root, QLatin1String(kContentsPage)));
    m_browser->clearHistory();
}

void CHelpWindow::FillContents() {
    // The contents page nests its lists; the tree follows the nesting.
    std::vector<QTreeWidgetItem*> parents;
    for (const Entry& entry : m_contents) {
        const auto depth = static_cast<std::size_t>(entry.level);
        if (parents.size() > depth) {
            parents.resize(depth);
        }
        QTreeWidgetItem* item = parents.empty() ? new QTreeWidgetItem(m_contentsTree)
                                                : new QTreeWidgetItem(parents.back());
        item->setText(0, entry.text);
        item->setData(0, Qt::UserRole, entry.target);
        parents.push_back(item);
    }
    m_contentsTree->expandToDepth(0);
}

QUrl CHelpWindow::CurrentPage() const {
    return m_browser->source();
}

void CHelpWindow::Present() {
    if (isMinimized()) {
        showNormal();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void CHelpWindow::ShowContents() {
    Present();
    m_tabs->setCurrentIndex(0);
    if (!m_contents.empty()) {
        m_browser->setSource(PageUrl(m_root, QLatin1String(kContentsPage)));
    }
    m_contentsTree->setFocus();
}

void CHelpWindow::ShowKeyword(const QString& keyword) {
    Present();
    m_tabs->setCurrentIndex(1);
    m_keywordField->setText(keyword);
    FilterKeywords(keyword);
    m_keywordField->setFocus();
    m_keywordField->selectAll();
    if (KeywordKey(keyword).isEmpty()) {
        return;
    }
    int only = -1;
    int shown = 0;
    for (int row = 0; row < m_keywordList->count(); ++row) {
        if (m_keywordList->item(row)->isHidden()) {
            continue;
        }
        if (KeywordKey(m_keywordList->item(row)->text()) == KeywordKey(keyword)) {
            OpenKeywordRow(row);
            return;
        }
        only = row;
        ++shown;
    }
    if (shown == 1) {
        OpenKeywordRow(only);
    }
}

void CHelpWindow::FilterKeywords(const QString& text) {
    int first = -1;
    for (int row = 0; row < m_keywordList->count(); ++row) {
        QListWidgetItem* item = m_keywordList->item(row);
        const bool match = KeywordMatches(item->text(), text);
        item->setHidden(!match);
        if (match && first < 0) {
            first = row;
        }
    }
    m_keywordList->setCurrentRow(first);
}

void CHelpWindow::OpenKeywordRow(int row) {
    if (row < 0 || row >= m_keywordList->count() || m_keywordList->item(row)->isHidden()) {
        return;
    }
    m_keywordList->setCurrentRow(row);
    m_browser->setSource(m_keywordList->item(row)->data(Qt::UserRole).toUrl());
}

}  // namespace tessel::gui
