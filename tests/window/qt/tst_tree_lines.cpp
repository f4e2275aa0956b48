// The drive tree's connecting lines: root lines, lines to each item, lines
// between siblings, and boxed expand buttons, whatever the application's style.
#include <QApplication>
#include <QPainter>
#include <QStyleOption>
#include <QTest>

#include "gui_test_support.h"
#include "window/qt/drive_tree.h"

using namespace vekdc;
using namespace vekdc::test;

namespace {

constexpr int kSide = 21;  // one branch cell, its middle at 10
constexpr int kMiddle = kSide / 2;

// One branch cell drawn by the tree's style for `state`, on white.
QImage Branch(const QWidget* tree, QStyle::State state) {
    QImage image(kSide, kSide, QImage::Format_RGB32);
    image.fill(Qt::white);
    QStyleOption option;
    option.initFrom(tree);
    option.rect = image.rect();
    option.state = state | QStyle::State_Enabled;
    QPainter painter(&image);
    tree->style()->drawPrimitive(QStyle::PE_IndicatorBranch, &option, &painter, tree);
    return image;
}

// Whether anything is drawn inside `area`.
bool Ink(const QImage& image, const QRect& area) {
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (image.pixelColor(x, y) != QColor(Qt::white)) {
                return true;
            }
        }
    }
    return false;
}

// The parts of a cell, around its middle.
const QRect kAbove(kMiddle - 1, 0, 3, kMiddle - 5);
const QRect kBelow(kMiddle - 1, kMiddle + 6, 3, kSide - kMiddle - 6);
const QRect kRight(kMiddle + 6, kMiddle - 1, kSide - kMiddle - 6, 3);
const QRect kCentre(kMiddle - 1, kMiddle - 1, 3, 3);

}  // namespace

class TestTreeLines : public QObject {
    Q_OBJECT

private slots:
    void treeDrawsTheRootLines();
    void branchCellsShowTheirLines_data();
    void branchCellsShowTheirLines();
    void buttonsShowPlusAndMinus();
};

void TestTreeLines::treeDrawsTheRootLines() {
    AppSession session;
    QVERIFY(session.expose());
    CLeftView* tree = session.tree();
    QVERIFY(tree->rootIsDecorated());
    // The lines are the tree's own, not the application style's.
    QVERIFY(tree->style() != QApplication::style());
}

void TestTreeLines::branchCellsShowTheirLines_data() {
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("above");
    QTest::addColumn<bool>("below");
    QTest::addColumn<bool>("right");
    // A line passing by an item of an upper level to a later sibling of it.
    QTest::newRow("line between siblings") << int(QStyle::State_Sibling) << true << true << false;
    // An item with later siblings: the line goes on below it.
    QTest::newRow("item with siblings")
        << int(QStyle::State_Item | QStyle::State_Sibling) << true << true << true;
    // The last item: the line ends at it.
    QTest::newRow("last item") << int(QStyle::State_Item) << true << false << true;
    QTest::newRow("nothing") << int(QStyle::State_None) << false << false << false;
}

void TestTreeLines::branchCellsShowTheirLines() {
    QFETCH(int, state);
    QFETCH(bool, above);
    QFETCH(bool, below);
    QFETCH(bool, right);
    AppSession session;
    const QImage cell = Branch(session.tree(), QStyle::State(state));
    QCOMPARE(Ink(cell, kAbove), above);
    QCOMPARE(Ink(cell, kBelow), below);
    QCOMPARE(Ink(cell, kRight), right);
}

void TestTreeLines::buttonsShowPlusAndMinus() {
    AppSession session;
    const QStyle::State item = QStyle::State_Item | QStyle::State_Sibling | QStyle::State_Children;
    const QImage closed = Branch(session.tree(), item);
    const QImage open = Branch(session.tree(), item | QStyle::State_Open);
    // A box round the middle, with a minus in both and the plus's upright
    // only while closed.
    QVERIFY(Ink(closed, kCentre) && Ink(open, kCentre));
    const QRect upright(kMiddle, kMiddle - 2, 1, 1);
    QVERIFY(Ink(closed, upright));
    QVERIFY(!Ink(open, upright));
    // The lines go on outside the box.
    QVERIFY(Ink(closed, kAbove) && Ink(closed, kBelow) && Ink(closed, kRight));
}

QTEST_MAIN(TestTreeLines)
#include "tst_tree_lines.moc"
