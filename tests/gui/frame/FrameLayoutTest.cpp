// SPDX-License-Identifier: MIT

#include <QSplitter>
#include <QTest>

#include "gui/frame/FrameTestSupport.h"
#include "gui/frame/SplitterLayout.h"

using namespace tessel;
using namespace tessel::gui;
using namespace tessel::gui::test;

namespace {

// The right column's width and the input and memo heights as the user sees them.
struct Seen {
    int right;
    int input;
    int memo;
};

Seen SeenIn(const CMainFrame& frame) {
    const int bar = frame.MainSplitter()->handleWidth();
    return {frame.MainSplitter()->sizes().value(1) + bar, frame.LeftSplitter()->sizes().value(0),
            frame.RightSplitter()->sizes().value(1)};
}

// Drags the bar `index` of `splitter` by `delta` pixels along its orientation.
void DragBar(QSplitter* splitter, int index, int delta) {
    QSplitterHandle* handle = splitter->handle(index);
    const QPoint from = handle->rect().center();
    const QPoint to = splitter->orientation() == Qt::Horizontal ? from + QPoint(delta, 0)
                                                                : from + QPoint(0, delta);
    QTest::mousePress(handle, Qt::LeftButton, {}, from);
    QTest::mouseMove(handle, to);
    QTest::mouseRelease(handle, Qt::LeftButton, {}, to);
}

}  // namespace

// The four panes' layout from the stored proportions, and the proportions the bars leave.
class FrameLayoutTest : public QObject {
    Q_OBJECT

  private slots:
    void layoutFromProportions_data() {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("memo");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QList<int>>("expected");  // left, right, input, display, user, memo
        QTest::newRow("defaults") << 128 << 128 << 0 << 1000 << 800
                                  << QList<int>{800, 196, 160, 636, 796, 0};
        QTest::newRow("floors on a small window")
            << 128 << 128 << 0 << 300 << 300 << QList<int>{200, 96, 100, 196, 296, 0};
        QTest::newRow("memo without a floor")
            << 320 << 64 << 5 << 640 << 640 << QList<int>{320, 316, 100, 536, 631, 5};
        QTest::newRow("truncated toward zero")
            << 100 << 100 << 100 << 999 << 333 << QList<int>{843, 152, 100, 229, 277, 52};
    }
    void layoutFromProportions() {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, memo);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QList<int>, expected);
        const PaneSizes sizes = LayoutFromProportions({x, y, memo}, width, height, 4);
        QCOMPARE((QList<int>{sizes.columns[0], sizes.columns[1], sizes.left[0], sizes.left[1],
                             sizes.right[0], sizes.right[1]}),
                 expected);
    }

    void firstStartWithoutSettings() {
        FrameFixture f;
        f.Open();
        QCOMPARE(f.frame->CurrentProportions(), (Proportions{128, 128, 0}));
        f.Show(1000, 800);
        const QSize client = f.frame->MainSplitter()->size();
        const Seen seen = SeenIn(*f.frame);
        QCOMPARE(seen.right, client.width() * 128 / 640);
        QCOMPARE(seen.input, client.height() * 128 / 640);
        QCOMPARE(seen.memo, 0);
    }

    void floorsOnASmallWindow() {
        FrameFixture f;
        f.Open();
        f.Show(320, 360);
        const Seen seen = SeenIn(*f.frame);
        QCOMPARE(seen.right, 100);
        QCOMPARE(seen.input, 100);
    }

    void resizingKeepsTheProportions() {
        FrameFixture f;
        f.Open();
        f.Show(1000, 800);
        f.frame->resize(700, 500);
        QTRY_COMPARE(f.frame->MainSplitter()->width(), 700);
        QCOMPARE(f.frame->CurrentProportions(), (Proportions{128, 128, 0}));
        const QSize client = f.frame->MainSplitter()->size();
        QTRY_COMPARE(SeenIn(*f.frame).right, client.width() * 128 / 640);
    }

    void draggedBarsSurviveARestart() {
        FrameFixture f;
        f.Open();
        f.Show(1000, 800);
        const QSize client = f.frame->MainSplitter()->size();
        DragBar(f.frame->MainSplitter(), 1, -100);
        DragBar(f.frame->RightSplitter(), 1, -200);
        const Seen dragged = SeenIn(*f.frame);
        QVERIFY(dragged.right > client.width() * 128 / 640);
        QVERIFY(dragged.memo > 150);
        const Proportions measured = f.frame->CurrentProportions();
        QCOMPARE(measured.x, dragged.right * 640 / client.width());
        QCOMPARE(measured.memo, dragged.memo * 640 / client.height());
        QCOMPARE(measured.y, 128);
        f.Close();
        QCOMPARE(f.settings->GetInt(SettingKey::propotion_x), measured.x);
        QCOMPARE(f.settings->GetInt(SettingKey::propotion_memo), measured.memo);
        QCOMPARE(f.settings->GetInt(SettingKey::cx), 1000);
        QCOMPARE(f.settings->GetInt(SettingKey::cy), 800);

        f.Open();
        QCOMPARE(f.frame->CurrentProportions(), measured);
        QCOMPARE(f.frame->size(), QSize(1000, 800));
        f.frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.frame.get()));
        const Seen restored = SeenIn(*f.frame);
        QVERIFY(std::abs(restored.right - dragged.right) <= 2);
        QVERIFY(std::abs(restored.memo - dragged.memo) <= 2);
    }
};

QTEST_MAIN(FrameLayoutTest)
#include "FrameLayoutTest.moc"
