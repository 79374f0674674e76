// The results grid: current-cell operations, the selected block as text,
// errors for rows beyond the grid, size.
#include "support/qt_printers.h"

#include "platform/results_grid.h"
#include "platform/runtime_error.h"

#include <QApplication>
#include <QTest>
#include <QItemSelectionModel>
#include <QScrollBar>

#include <gtest/gtest.h>

using tarvic::ResultsGrid;

namespace {

// A 4 x 3 grid whose cells read "r<row>c<col>".
void fill(ResultsGrid& grid)
{
    grid.setCols(3);
    grid.setRows(4);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) {
            grid.setRow(r);
            grid.setCol(c);
            grid.setText(QStringLiteral("r%1c%2").arg(r).arg(c));
        }
}

struct ClipCase {
    const char* name;
    int row, col, rowSel, colSel;
    const char* clip;
};

const ClipCase kClipCases[] = {
    {"SingleCell", 2, 1, 2, 1, "r2c1"},
    {"OneRow", 1, 0, 1, 2, "r1c0\tr1c1\tr1c2"},
    {"OneColumn", 0, 2, 2, 2, "r0c2\rr1c2\rr2c2"},
    {"Block", 1, 1, 3, 2, "r1c1\tr1c2\rr2c1\tr2c2\rr3c1\tr3c2"},
    {"SelectedUpwards", 3, 2, 2, 1, "r2c1\tr2c2\rr3c1\tr3c2"},
};

}  // namespace

class ResultsGridClipTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ResultsGridClipTest, SelectedBlockJoinsCellsByTabAndRowsByCarriageReturn)
{
    const ClipCase& c = GetParam();
    ResultsGrid grid;
    fill(grid);
    grid.setRow(c.row);
    grid.setCol(c.col);
    grid.selectBlock(c.rowSel, c.colSel);
    EXPECT_EQ(grid.Clip(), QString::fromLatin1(c.clip));
}

INSTANTIATE_TEST_SUITE_P(Blocks, ResultsGridClipTest, ::testing::ValuesIn(kClipCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ResultsGridTest, WithoutSelectionTheClipIsTheCurrentCell)
{
    ResultsGrid grid;
    fill(grid);
    grid.setRow(3);
    grid.setCol(0);
    EXPECT_EQ(grid.Clip(), QStringLiteral("r3c0"));
}

TEST(ResultsGridTest, RowOrColumnBeyondTheGridRaisesTheGridErrors)
{
    ResultsGrid grid;
    fill(grid);
    try {
        grid.setRow(4);
        FAIL() << "no error";
    } catch (const tarvic::RuntimeError& e) {
        EXPECT_EQ(e.number(), 30009);
    }
    try {
        grid.setCol(3);
        FAIL() << "no error";
    } catch (const tarvic::RuntimeError& e) {
        EXPECT_EQ(e.number(), 30010);
    }
    EXPECT_THROW(grid.setRow(-1), tarvic::RuntimeError);
    // The current cell stays where it was.
    EXPECT_EQ(grid.Row(), 3);
    EXPECT_EQ(grid.Col(), 2);
    // Lowering the row count drops rows; the current cell follows.
    grid.setRows(2);
    EXPECT_EQ(grid.Row(), 1);
    EXPECT_EQ(grid.TextMatrix(1, 2), QStringLiteral("r1c2"));
    EXPECT_THROW(grid.TextMatrix(2, 0), tarvic::RuntimeError);
}

TEST(ResultsGridTest, CellLookAndClear)
{
    ResultsGrid grid;
    fill(grid);
    grid.setFixedRows(2);
    grid.setFixedBackColor(0xDDE8FF);
    grid.setRow(1);
    grid.setCol(1);
    grid.setCellForeColor(0x0000C0);  // &HBBGGRR: red 192
    EXPECT_EQ(grid.CellForeColor(), QColor(192, 0, 0));
    const QModelIndex fixedCell = grid.gridModel()->index(0, 0);
    const QModelIndex plainCell = grid.gridModel()->index(2, 0);
    EXPECT_EQ(grid.gridModel()->data(fixedCell, Qt::BackgroundRole).value<QColor>(),
              QColor(255, 232, 221));
    EXPECT_FALSE(grid.gridModel()->data(plainCell, Qt::BackgroundRole).isValid());
    grid.Clear();
    EXPECT_EQ(grid.TextMatrix(1, 1), QString());
    EXPECT_EQ(grid.CellForeColor(), QColor(192, 0, 0));  // look stays
    EXPECT_EQ(grid.Rows(), 4);
}

TEST(ResultsGridTest, FiftyThousandRowsFill)
{
    ResultsGrid grid;
    grid.resize(400, 300);
    grid.setCols(6);
    grid.setRows(50003);
    for (int r = 2; r < 50003; ++r) {
        grid.setRow(r);
        for (int c = 0; c < 6; ++c) {
            grid.setCol(c);
            grid.setText(QStringLiteral("1.00000"));
        }
    }
    EXPECT_EQ(grid.Rows(), 50003);
    EXPECT_EQ(grid.TextMatrix(50002, 5), QStringLiteral("1.00000"));
}

TEST(ResultsGridTest, FixedRowsStayOnTopWhileTheRowsScroll)
{
    ResultsGrid grid;
    grid.resize(400, 200);
    grid.setCols(6);
    grid.setRows(1000);
    grid.setFixedRows(2);
    grid.setRowHeight(0, 370);
    grid.setRow(0);
    grid.setCol(0);
    grid.setText(QStringLiteral("Asset"));
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    grid.scrollToBottom();
    QApplication::processEvents();

    // Under the top of the viewport lie the fixed rows, not the scrolled ones.
    const QPoint top = grid.viewport()->mapTo(&grid, QPoint(10, 5));
    auto* fixed = qobject_cast<QTableView*>(grid.childAt(top)->parentWidget());
    ASSERT_NE(fixed, nullptr);
    ASSERT_NE(fixed, &grid);
    const QModelIndex atTop = fixed->indexAt(fixed->viewport()->mapFrom(&grid, top));
    EXPECT_EQ(atTop.row(), 0);
    EXPECT_EQ(atTop.data().toString(), QStringLiteral("Asset"));
    EXPECT_GT(grid.indexAt(QPoint(10, 5)).row(), 900);

    // A right click on them is the grid's own mouse-down.
    int button = 0;
    QObject::connect(&grid, &ResultsGrid::MouseDown,
                     [&](int b, int, double, double) { button = b; });
    QTest::mouseClick(fixed->viewport(), Qt::RightButton, {}, QPoint(10, 5));
    EXPECT_EQ(button, 2);
}

namespace {

// A shown grid of six columns with a header row and a spot row, as the
// pricer window lays it out.
class ShownGrid : public ::testing::Test {
protected:
    void SetUp() override
    {
        grid.resize(480, 200);
        grid.setCols(6);
        grid.setRows(20);
        grid.setFixedRows(2);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
    void write(int row, int col, const QString& text)
    {
        grid.setRow(row);
        grid.setCol(col);
        grid.setText(text);
        QApplication::processEvents();
    }
    int textWidth(const QString& text) const { return grid.fontMetrics().horizontalAdvance(text); }
    // The viewport of the fixed rows, where column borders are dragged.
    QWidget* fixedRows()
    {
        return grid.childAt(grid.viewport()->mapTo(&grid, QPoint(10, 5)));
    }
    int border(int col) const
    {
        return grid.columnViewportPosition(col) + grid.columnWidth(col);
    }

    ResultsGrid grid;
};

}  // namespace

TEST_F(ShownGrid, ColumnsShareTheWidthAndGrowToTheirWidestText)
{
    QApplication::processEvents();
    for (int c = 1; c < 6; ++c)
        EXPECT_NEAR(grid.columnWidth(c), grid.columnWidth(0), 1);
    EXPECT_NEAR(border(5), grid.viewport()->width(), 1);

    // More digits in the spot row, as a double-click shows them, and a long
    // node value: their columns widen to show them whole.
    const QString spot = QStringLiteral("12345678.450450000");
    const QString node = QStringLiteral("-123456789.00000");
    write(1, 1, spot);
    write(7, 3, node);
    EXPECT_GT(grid.columnWidth(1), textWidth(spot));
    EXPECT_GT(grid.columnWidth(3), textWidth(node));
    // Fewer rows take the long node value away again.
    grid.setRows(5);
    QApplication::processEvents();
    EXPECT_LT(grid.columnWidth(3), textWidth(node));
}

// One column's text needs more than an equal share: it keeps its width and
// the others share the rest, so the columns still fill the grid without a
// horizontal scroll bar.
TEST_F(ShownGrid, AColumnWiderThanItsShareLeavesTheRestToTheOthers)
{
    QApplication::processEvents();
    const int share = grid.viewport()->width() / 6;
    QString asset = QStringLiteral("10000");
    while (textWidth(asset) < share + 4)
        asset += QLatin1Char('0');
    write(1, 0, asset);
    EXPECT_GT(grid.columnWidth(0), textWidth(asset));
    for (int c = 1; c < 6; ++c)
        EXPECT_LT(grid.columnWidth(c), share + 1) << c;
    EXPECT_EQ(border(5), grid.viewport()->width());
    EXPECT_FALSE(grid.horizontalScrollBar()->isVisible());
}

TEST_F(ShownGrid, DraggingABorderInTheFixedRowsResizesTheColumn)
{
    QApplication::processEvents();
    QWidget* fixed = fixedRows();
    ASSERT_NE(fixed, nullptr);
    const int before = grid.columnWidth(2);
    const QPoint edge(border(2), 10);
    QTest::mousePress(fixed, Qt::LeftButton, {}, edge);
    QTest::mouseMove(fixed, edge + QPoint(60, 0));
    QTest::mouseRelease(fixed, Qt::LeftButton, {}, edge + QPoint(60, 0));
    EXPECT_EQ(grid.columnWidth(2), before + 60);
    EXPECT_EQ(grid.userColumnWidth(2), before + 60);

    // Narrowed, it stops at what it shows.
    write(1, 2, QStringLiteral("10.450450000"));
    const QPoint wide(border(2), 10);
    QTest::mousePress(fixed, Qt::LeftButton, {}, wide);
    QTest::mouseMove(fixed, wide - QPoint(400, 0));
    QTest::mouseRelease(fixed, Qt::LeftButton, {}, wide - QPoint(400, 0));
    EXPECT_GT(grid.columnWidth(2), textWidth(QStringLiteral("10.450450000")));

    // A fresh view forgets the widths and the selection.
    grid.setRow(3);
    grid.setCol(1);
    grid.selectBlock(5, 2);
    grid.resetView();
    EXPECT_EQ(grid.userColumnWidth(2), 0);
    EXPECT_FALSE(grid.selectionModel()->hasSelection());
    EXPECT_FALSE(grid.currentIndex().isValid());
}
