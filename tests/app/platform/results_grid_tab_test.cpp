// Keyboard focus through a pricer window: Tab goes round every control,
// the results grid among them, and Shift+Tab goes round the other way; the
// arrow keys move between the grid's cells.
#include "support/app_fixture.h"
#include "support/screenshot_folder.h"

#include "platform/results_grid.h"

#include <QMdiSubWindow>
#include <QTest>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct TabCase {
    const char* name;
    QAction* MDIDorn::*menu;
    frmOptions* (MDIDorn::*window)() const;
};

QString nameOf(const QWidget* widget)
{
    if (!widget)
        return QStringLiteral("(none)");
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : widget->objectName();
}

// The controls that focus reaches from start, pressing key each time,
// until it comes back to start (start itself last) or after limit presses.
std::vector<QWidget*> focusRound(QWidget* start, Qt::Key key, int limit)
{
    std::vector<QWidget*> visited;
    for (int press = 0; press < limit; ++press) {
        QWidget* focused = QApplication::focusWidget();
        if (!focused)
            break;
        QTest::keyClick(focused, key);
        QApplication::processEvents();
        visited.push_back(QApplication::focusWidget());
        if (visited.back() == start)
            break;
    }
    return visited;
}

QStringList names(const std::vector<QWidget*>& widgets)
{
    QStringList list;
    for (const QWidget* w : widgets)
        list << nameOf(w);
    return list;
}

// The first presses' names, for a failure's message.
std::string route(const std::vector<QWidget*>& widgets)
{
    return names(widgets).mid(0, 30).join(QStringLiteral(" ")).toStdString();
}

class ResultsGridTab : public AppFixture {};

TEST_F(ResultsGridTab, TabGoesRoundTheWholeWindowAndBackPastTheGrid)
{
    const TabCase cases[] = {
        {"finite differences", &MDIDorn::mnuPDEOptions, &MDIDorn::pricerPde},
        {"Monte Carlo", &MDIDorn::mnuMCOptions, &MDIDorn::pricerMc},
    };
    dorn->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dorn.get()));
    for (const TabCase& c : cases) {
        SCOPED_TRACE(c.name);
        (dorn.get()->*c.menu)->trigger();
        frmOptions& w = *(dorn.get()->*c.window)();
        QMdiSubWindow* sub = w.subWindow();
        ASSERT_TRUE(sub);
        sub->showMaximized();
        QApplication::processEvents();
        tarvic::ResultsGrid* grid = ui(w).MSFlexGrid1;

        // The first control of the window that Tab can reach.
        QWidget* first = nullptr;
        for (QWidget* next = sub->widget()->nextInFocusChain(); next != sub->widget();
             next = next->nextInFocusChain()) {
            if ((next->focusPolicy() & Qt::TabFocus) && next->isVisible() &&
                next->isEnabled() && sub->widget()->isAncestorOf(next)) {
                first = next;
                break;
            }
        }
        ASSERT_TRUE(first);
        first->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), first);

        const std::vector<QWidget*> forth = focusRound(first, Qt::Key_Tab, 200);
        ASSERT_FALSE(forth.empty());
        EXPECT_EQ(forth.back(), first) << "Tab never came back; it went " << route(forth);
        EXPECT_EQ(std::count(forth.begin(), forth.end(), grid), 1)
            << "the grid is passed once: " << route(forth);

        first->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        const std::vector<QWidget*> back = focusRound(first, Qt::Key_Backtab, 200);
        // The same controls the other way round.
        std::vector<QWidget*> expected(forth.rbegin() + 1, forth.rend());
        expected.push_back(first);
        EXPECT_EQ(names(back), names(expected));
    }
    saveScreenshot(*dorn, QStringLiteral("tab-round-monte-carlo"));
}

TEST_F(ResultsGridTab, ArrowKeysStillMoveBetweenTheCells)
{
    dorn->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dorn.get()));
    dorn->mnuPDEOptions->trigger();
    frmOptions& w = *dorn->pricerPde();
    tarvic::ResultsGrid* grid = ui(w).MSFlexGrid1;
    ASSERT_GE(grid->model()->rowCount(), 3);
    ASSERT_GE(grid->model()->columnCount(), 2);
    grid->setFocus(Qt::TabFocusReason);
    grid->setCurrentIndex(grid->model()->index(1, 0));
    QApplication::processEvents();
    ASSERT_TRUE(grid->hasFocus());

    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->currentIndex().row(), 2);
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_EQ(grid->currentIndex().column(), 1);
    QTest::keyClick(grid, Qt::Key_Left);
    EXPECT_EQ(grid->currentIndex().column(), 0);
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    EXPECT_TRUE(grid->hasFocus());
}

}  // namespace
