// SPDX-License-Identifier: MIT

#include <QTest>

#include "gui/platform/TextCodec.h"

using namespace tessel::gui;

class TextCodecTest : public QObject {
    Q_OBJECT

  private slots:
    void roundTrip_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("ascii") << QString("2d6+1") << QByteArray("2d6+1");
        QTest::newRow("kanji, second level")
            << QString::fromUtf8("太郎 弌") << QByteArray::fromHex("91be985920989f");
        QTest::newRow("wave dash and circled digit")
            << QString::fromUtf8("～①") << QByteArray::fromHex("81608740");
        QTest::newRow("half-width katakana")
            << QString::fromUtf8("ｷｬﾝｾﾙ") << QByteArray::fromHex("b7acddbed9");
    }
    void roundTrip() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        auto encoded = ToShiftJis(text);
        QVERIFY(encoded.has_value());
        QCOMPARE(QByteArray::fromStdString(*encoded), bytes);
        QCOMPARE(FromShiftJis(*encoded), text);
    }

    void refusesWhatTheCodePageCannotHold() {
        QString text = QString::fromUtf8("abc한def");
        QVERIFY(!ToShiftJis(text).has_value());
        QCOMPARE(FirstUnencodable(text), QString::fromUtf8("한"));
        QCOMPARE(FirstUnencodable(QString::fromUtf8("太郎")), QString());
    }

    void brokenBytesStayVisible() {
        // A lone lead byte at the end must not swallow the text before it.
        QString text = FromShiftJis(std::string_view("ab\x82", 3));
        QVERIFY(text.startsWith("ab"));
        QCOMPARE(text.size(), 3);
    }
};

QTEST_GUILESS_MAIN(TextCodecTest)
#include "TextCodecTest.moc"
