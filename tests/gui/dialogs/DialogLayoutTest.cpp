// SPDX-License-Identifier: MIT

// Layout of every dialog: caption, size and control positions in dialog units, Tab order as in
// the template, initial focus.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "gui/dialogs/DialogTestSupport.h"
#include "gui/dialogs/Dialogs.h"

namespace tessel::gui::test {
namespace {

const QString kEdit = QStringLiteral("[edit]");
const QString kList = QStringLiteral("[list]");
const QString kOk = QStringLiteral("OK");
const QString kCancel = QStringLiteral("ｷｬﾝｾﾙ");

struct Template {
    const char* name;
    std::function<std::unique_ptr<CTesselDialog>()> create;
    QString caption;
    int width;
    int height;
    QStringList tabOrder;  // buttons by caption, edits and lists by kind
    QRect firstControl;    // template rectangle of the first control in Tab order
    int initialFocus;      // index into tabOrder
};

template <typename D, typename... Args>
std::function<std::unique_ptr<CTesselDialog>()> Make(Args... args) {
    return [=] { return std::make_unique<D>(args...); };
}

const std::vector<Template>& Templates() {
    static const std::vector<Template> templates = {
        {"100 about",
         Make<CAboutDialog>(),
         QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(tessel)"),
         218,
         97,
         {kOk, kEdit, kEdit},
         {179, 7, 32, 14},
         0},
        {"130 connect",
         Make<CConnectDialog>(),
         QStringLiteral("ホストへの接続"),
         187,
         145,
         {kOk, kCancel, kEdit, kEdit, kEdit, kEdit, QStringLiteral("自動再接続")},
         {7, 124, 50, 14},
         2},
        {"131 name",
         Make<CNameDialog>(),
         QStringLiteral("名前登録"),
         187,
         67,
         {kOk, kCancel, kEdit},
         {7, 46, 50, 14},
         2},
        {"132 channel",
         Make<CChannelDialog>(),
         QStringLiteral("チャネルに入る"),
         187,
         51,
         {kOk, kCancel, kEdit},
         {7, 30, 50, 14},
         2},
        {"133 private message",
         Make<CPrivateMessageDialog>(),
         QStringLiteral("プライベートメッセージ"),
         187,
         113,
         {kOk, kCancel, kList, kEdit},
         {7, 92, 50, 14},
         3},
        {"134 roll",
         Make<CRollDialog>(),
         QStringLiteral("ロール"),
         187,
         101,
         {kCancel, kEdit, kEdit, QStringLiteral("ロール"), QStringLiteral("ＡＡＦロール"),
          QStringLiteral("最大値振り足し"), QStringLiteral("ゾロ目振り足し"),
          QStringLiteral("バーサーク")},
         {130, 80, 50, 14},
         1},
        {"135 mode",
         Make<CModeDialog>(),
         QStringLiteral("モード変更"),
         187,
         73,
         {kOk, kCancel, QStringLiteral("オープンダイス")},
         {7, 52, 50, 14},
         2},
        {"136 file receive",
         Make<CFileReceiveDialog>(),
         QStringLiteral("ファイル受信指定"),
         187,
         75,
         {kOk, kCancel, QStringLiteral("受信拒否"), kEdit, QStringLiteral("詳細")},
         {7, 54, 50, 14},
         0},
        {"137 file send",
         Make<CFileSendDialog>(),
         QStringLiteral("ファイル送信"),
         187,
         101,
         {kOk, kCancel, kList, kEdit, QStringLiteral("詳細")},
         {7, 80, 50, 14},
         0},
        {"138 sound send",
         Make<CSoundSendDialog>(PlaySound{}),
         QStringLiteral("サウンド送信"),
         187,
         101,
         {kOk, kCancel, kList, kEdit, QStringLiteral("詳細"), QStringLiteral("テスト...")},
         {7, 80, 50, 14},
         3},
        {"139 colours",
         Make<CColorSettingsDialog>(),
         QStringLiteral("色の指定"),
         187,
         133,
         {kOk, kCancel, QStringLiteral("背景色"), QStringLiteral("背景色"),
          QStringLiteral("背景色"), QStringLiteral("背景色"), QStringLiteral("文字の色"),
          QStringLiteral("文字の色"), QStringLiteral("文字の色"), QStringLiteral("文字の色"),
          QStringLiteral("名前の色"), QStringLiteral("システムの色"), QStringLiteral("ダイスの色")},
         {7, 112, 50, 14},
         0},
        {"140 fonts",
         Make<CFontSettingsDialog>(),
         QStringLiteral("フォントの設定"),
         187,
         61,
         {kOk, kCancel, QStringLiteral("ディスプレイ"), QStringLiteral("インプット"),
          QStringLiteral("メモ")},
         {7, 40, 50, 14},
         0},
        {"141 key config",
         Make<CKeyConfigDialog>(OpenEditor{}),
         QStringLiteral("キーカスタマイズ"),
         187,
         95,
         {kOk, kCancel, kEdit, QStringLiteral("詳細"), QStringLiteral("編集")},
         {7, 74, 50, 14},
         0},
        {"142 client settings",
         Make<CClientSettingsDialog>(),
         QStringLiteral("クライアント設定"),
         187,
         113,
         {kOk, kCancel, QStringLiteral("自分がいるチャネルのユーザーのみ"), kEdit},
         {7, 92, 50, 14},
         0},
        {"143 notification",
         Make<CNotifySettingsDialog>(PlaySound{}),
         QStringLiteral("通知設定"),
         187,
         153,
         {kEdit, kEdit, kEdit, kEdit, kEdit, QStringLiteral("ＯＫ"), QStringLiteral("キャンセル"),
          QStringLiteral("テスト"), QStringLiteral("詳細"), QStringLiteral("通知しない")},
         {14, 50, 78, 14},
         0},
        {"144 automatic log",
         Make<CAutoLogSettingsDialog>(),
         QStringLiteral("自動ログ設定"),
         187,
         131,
         {kOk, kCancel, kEdit, kEdit},
         {7, 111, 50, 13},
         0},
    };
    return templates;
}

QString Describe(const QWidget* widget) {
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        return button->text();
    }
    if (qobject_cast<const QLineEdit*>(widget) != nullptr) {
        return kEdit;
    }
    if (qobject_cast<const QComboBox*>(widget) != nullptr) {
        return kList;
    }
    return QString::fromLatin1(widget->metaObject()->className());
}

// The controls Tab reaches, in order.
std::vector<QWidget*> TabChain(QWidget& dialog) {
    std::vector<QWidget*> chain;
    for (QWidget* w = dialog.nextInFocusChain(); w != &dialog; w = w->nextInFocusChain()) {
        if (w->window() == &dialog && (w->focusPolicy() & Qt::TabFocus) != 0) {
            chain.push_back(w);
        }
    }
    return chain;
}

}  // namespace

class DialogLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void unitsFollowWindowsRounding_data() {
        QTest::addColumn<int>("charWidth");
        QTest::addColumn<int>("charHeight");
        QTest::addColumn<QRect>("units");
        QTest::addColumn<QRect>("pixels");
        // Each edge is converted on its own and rounded to the nearest pixel.
        QTest::newRow("6x13") << 6 << 13 << QRect(7, 7, 50, 14) << QRect(11, 11, 75, 23);
        QTest::newRow("7x15") << 7 << 15 << QRect(130, 124, 50, 14) << QRect(228, 233, 87, 26);
        QTest::newRow("origin") << 5 << 12 << QRect(0, 0, 4, 8) << QRect(0, 0, 5, 12);
    }
    void unitsFollowWindowsRounding() {
        QFETCH(int, charWidth);
        QFETCH(int, charHeight);
        QFETCH(QRect, units);
        QFETCH(QRect, pixels);
        const DialogUnits converter(charWidth, charHeight);
        QCOMPARE(converter.Rect(units.x(), units.y(), units.width(), units.height()), pixels);
    }

    void templates_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < static_cast<int>(Templates().size()); ++i) {
            QTest::newRow(Templates()[static_cast<std::size_t>(i)].name) << i;
        }
    }
    void templates() {
        QFETCH(int, index);
        const Template& expected = Templates()[static_cast<std::size_t>(index)];
        std::unique_ptr<CTesselDialog> dialog = expected.create();
        ShownDialog shown;
        QVERIFY(shown.Show(*dialog));

        QCOMPARE(dialog->windowTitle(), expected.caption);
        QCOMPARE(dialog->font().family(), DialogFont().family());
        QCOMPARE(dialog->size(), dialog->Units().Size(expected.width, expected.height));

        const std::vector<QWidget*> chain = TabChain(*dialog);
        QStringList order;
        for (const QWidget* w : chain) {
            order.append(Describe(w));
        }
        QCOMPARE(order.join(u'|'), expected.tabOrder.join(u'|'));

        // No label is cut off, whatever face stands in for the template's.
        for (const QLabel* label : dialog->findChildren<QLabel*>()) {
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->width(),
                     qPrintable(label->text()));
            QVERIFY(dialog->rect().contains(label->geometry()));
        }

        const QRect& first = expected.firstControl;
        QCOMPARE(chain.front()->geometry(),
                 dialog->Units().Rect(first.x(), first.y(), first.width(), first.height()));
        QCOMPARE(dialog->focusWidget(), chain[static_cast<std::size_t>(expected.initialFocus)]);
    }

    void autoLogHelpLinesKeepTheirIdeographicSpaces() {
        CAutoLogSettingsDialog dialog;
        QStringList lines;
        for (const QLabel* label : dialog.findChildren<QLabel*>()) {
            lines.append(label->text());
        }
        QVERIFY(lines.contains(
            u"%y 西暦(2桁)\u3000\u3000%Y 西暦(4桁)\u3000\u3000%m 月\u3000\u3000%d 日"));
        QVERIFY(lines.contains(u"%H 時間\u3000\u3000\u3000%M 分\u3000\u3000\u3000%S 秒"));
        QVERIFY(lines.contains(u"%C 現在のチャネル\u3000\u3000\u3000%N 現在のハンドル"));
    }
};

std::unique_ptr<QObject> CreateDialogLayoutTest() {
    return std::make_unique<DialogLayoutTest>();
}

}  // namespace tessel::gui::test

#include "DialogLayoutTest.moc"
