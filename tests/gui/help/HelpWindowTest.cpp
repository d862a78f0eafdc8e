// SPDX-License-Identifier: MIT

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include "gui/help/HelpWindow.h"
#include "gui/help/ManualIndex.h"

using namespace tessel::gui;

namespace {

const QString kManual = QStringLiteral(":/tessel/help");

QString ReadResource(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

int VisibleRows(const QListWidget* list) {
    int shown = 0;
    for (int row = 0; row < list->count(); ++row) {
        shown += list->item(row)->isHidden() ? 0 : 1;
    }
    return shown;
}

}  // namespace

class ManualIndexTest : public QObject {
    Q_OBJECT

  private slots:
    void readsListLinksWithTheirDepth() {
        const QString html = QStringLiteral(
            "<p><a href='nav.html'>not an entry</a></p>"
            "<ul><li><a href='a.html'>A</a><ul><li><a href='a.html#x'>A <code>x</code> y</a>"
            "</li></ul></li><li><a href='b.html'>B</a> and <a href='c.html'>C</a></li></ul>");
        const auto entries = ReadManualLinks(html, QUrl(QStringLiteral("qrc:/m/index.html")));
        QCOMPARE(entries.size(), std::size_t{4});
        QCOMPARE(entries[0].text, QStringLiteral("A"));
        QCOMPARE(entries[0].target, QUrl(QStringLiteral("qrc:/m/a.html")));
        QCOMPARE(entries[0].level, 0);
        QCOMPARE(entries[1].text, QStringLiteral("A x y"));
        QCOMPARE(entries[1].target, QUrl(QStringLiteral("qrc:/m/a.html#x")));
        QCOMPARE(entries[1].level, 1);
        QCOMPARE(entries[2].text, QStringLiteral("B"));
        QCOMPARE(entries[3].text, QStringLiteral("C"));
        QCOMPARE(entries[3].level, 0);
    }

    void keywordMatching_data() {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("matches");
        QTest::newRow("empty shows all") << QStringLiteral("ログ") << QString() << true;
        QTest::newRow("part of a word")
            << QStringLiteral("自動ログ設定") << QStringLiteral("ログ") << true;
        QTest::newRow("half-width katakana")
            << QStringLiteral("フェイクロール") << QStringLiteral("ﾌｪｲｸ") << true;
        QTest::newRow("hiragana for katakana")
            << QStringLiteral("ロール") << QStringLiteral("ろーる") << true;
        QTest::newRow("letter case")
            << QStringLiteral("GETUSER") << QStringLiteral("getuser") << true;
        QTest::newRow("full-width letters")
            << QStringLiteral("sproll") << QStringLiteral("ｓｐｒｏｌｌ") << true;
        QTest::newRow("different word")
            << QStringLiteral("ログ") << QStringLiteral("ダイス") << false;
    }
    void keywordMatching() {
        QFETCH(QString, entry);
        QFETCH(QString, typed);
        QFETCH(bool, matches);
        QCOMPARE(KeywordMatches(entry, typed), matches);
    }

    // Every link of the shipped manual names a page that exists and, when it has a fragment,
    // an anchor on that page.
    void manualHasNoBrokenLinks() {
        QMap<QString, QSet<QString>> anchors;
        QMap<QString, QString> pages;
        QDirIterator it(kManual, {QStringLiteral("*.html")});
        while (it.hasNext()) {
            const QString path = it.next();
            const QString html = ReadResource(path);
            QVERIFY2(!html.isEmpty(), qPrintable(path));
            pages.insert(QFileInfo(path).fileName(), html);
            auto names = QRegularExpression(QStringLiteral("name=\"([^\"]+)\"")).globalMatch(html);
            while (names.hasNext()) {
                anchors[QFileInfo(path).fileName()].insert(names.next().captured(1));
            }
        }
        QVERIFY(pages.contains(QStringLiteral("index.html")));
        QVERIFY(pages.contains(QStringLiteral("keywords.html")));
        for (auto page = pages.cbegin(); page != pages.cend(); ++page) {
            auto links = QRegularExpression(QStringLiteral("href=\"([^\"]+)\"")).globalMatch(*page);
            while (links.hasNext()) {
                const QString href = links.next().captured(1);
                const QString file = href.section(QLatin1Char('#'), 0, 0);
                const QString anchor = href.section(QLatin1Char('#'), 1);
                const QString target = file.isEmpty() ? page.key() : file;
                if (target.endsWith(QStringLiteral(".css"))) {
                    QVERIFY2(QFile::exists(kManual + QLatin1Char('/') + target), qPrintable(href));
                    continue;
                }
                QVERIFY2(pages.contains(target), qPrintable(page.key() + ": " + href));
                QVERIFY2(anchor.isEmpty() || anchors[target].contains(anchor),
                         qPrintable(page.key() + ": " + href));
            }
        }
    }
};

class HelpWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void opensOnTheContents() {
        CHelpWindow window(kManual, nullptr);
        window.ShowContents();
        QVERIFY(window.isVisible());
        QCOMPARE(window.CurrentPage().fileName(), QStringLiteral("index.html"));
        QVERIFY(window.Browser()->toPlainText().contains(QStringLiteral("目次")));
        QVERIFY(window.Contents().size() > 20);
        // The contents tree nests the sections of a page under it.
        QCOMPARE(window.Contents().front().level, 0);
        QCOMPARE(window.Contents()[1].level, 1);
    }

    void keywordOpensItsPage_data() {
        QTest::addColumn<QString>("keyword");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("exact entry") << QStringLiteral("フェイクロール")
                                     << QStringLiteral("dice.html") << QStringLiteral("fake");
        QTest::newRow("settings key")
            << QStringLiteral("autologname") << QStringLiteral("settings.html")
            << QStringLiteral("settings");
        QTest::newRow("only match, half-width")
            << QStringLiteral("ﾊﾝﾄﾞﾙでも") << QStringLiteral("dialogs.html")
            << QStringLiteral("notify");
        QTest::newRow("no match stays")
            << QStringLiteral("存在しない言葉") << QStringLiteral("index.html") << QString();
    }
    void keywordOpensItsPage() {
        QFETCH(QString, keyword);
        QFETCH(QString, page);
        QFETCH(QString, fragment);
        CHelpWindow window(kManual, nullptr);
        window.ShowKeyword(keyword);
        QVERIFY(window.isVisible());
        QCOMPARE(window.CurrentPage().fileName(), page);
        QCOMPARE(window.CurrentPage().fragment(), fragment);
        QCOMPARE(window.KeywordField()->text(), keyword);
    }

    void searchFieldFiltersTheIndex() {
        CHelpWindow window(kManual, nullptr);
        window.ShowKeyword(QString());
        const int all = VisibleRows(window.KeywordList());
        QCOMPARE(all, static_cast<int>(window.Keywords().size()));
        // Typed through the input method, as Japanese is: one insertion.
        window.KeywordField()->insert(QStringLiteral("ログ"));
        const int logs = VisibleRows(window.KeywordList());
        QVERIFY(logs > 1 && logs < all);
        for (int row = 0; row < window.KeywordList()->count(); ++row) {
            const QListWidgetItem* item = window.KeywordList()->item(row);
            QCOMPARE(!item->isHidden(), item->text().contains(QStringLiteral("ログ")));
        }
        // Enter opens the first entry left in the list.
        QTest::keyClick(window.KeywordField(), Qt::Key_Return);
        QCOMPARE(window.KeywordList()->currentItem()->isHidden(), false);
        QCOMPARE(window.CurrentPage().adjusted(QUrl::RemoveFragment).fileName().isEmpty(), false);
        QVERIFY(window.CurrentPage().fileName() != QStringLiteral("index.html"));
    }

    void missingManualSaysSo() {
        QTemporaryDir empty;
        CHelpWindow window(empty.path(), nullptr);
        QVERIFY(window.Contents().empty());
        QVERIFY(window.Browser()->toPlainText().contains(QStringLiteral("見つかりません")));
        window.ShowKeyword(QStringLiteral("ログ"));  // nothing to find, nothing to crash on
        QCOMPARE(window.KeywordList()->count(), 0);
    }

    // An installed manual beside the program wins over the built-in copy; without one the
    // built-in copy is used.
    void findsTheInstalledManual() {
        QCOMPARE(CHelpWindow::FindManualRoot(), kManual);
        QDir bin(QCoreApplication::applicationDirPath());
        const QString installed =
            QDir::cleanPath(bin.filePath(QStringLiteral("../share/tessel/help")));
        QVERIFY(QDir().mkpath(installed));
        for (const char* page : {"index.html", "keywords.html"}) {
            QFile file(installed + QLatin1Char('/') + QLatin1String(page));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<ul><li><a href=\"index.html\">x</a></li></ul>");
        }
        const QString found = CHelpWindow::FindManualRoot();
        QDir(QDir::cleanPath(bin.filePath(QStringLiteral("../share")))).removeRecursively();
        QCOMPARE(found, installed);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int status = 0;
    {
        ManualIndexTest test;
        status |= QTest::qExec(&test, argc, argv);
    }
    {
        HelpWindowTest test;
        status |= QTest::qExec(&test, argc, argv);
    }
    return status;
}

#include "HelpWindowTest.moc"
