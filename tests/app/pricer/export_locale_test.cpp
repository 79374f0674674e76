// A priced run, the copied results and File > Export under German and
// French number rules (a decimal comma for printf and strtod): the run's
// figures bit for bit, the copied text, the saved message and the workbook
// as openpyxl reads it back, cell by cell, are those of the same run under
// C.UTF-8. Finite differences, and Monte Carlo on Sobol points (the library
// reads its direction numbers from a file).
#include "pricer/run_support.h"
#include "../library/support/process_locale.h"  // shared with the library tests
#include "support/workbook_reader.h"

#include "platform/results_grid.h"
#include "platform/save_dialog.h"
#include "platform/system_services.h"

#include <QTemporaryDir>

#include <cstring>
#include <vector>

namespace {

// What one run leaves behind.
struct RunOutcome {
    decltype(frmOptions::mSolution) solution;  // rows 0 to the last
    QString copied;   // the whole results grid through Edit > Copy
    QString message;  // what the export said
    ReadBackWorkbook book;
};

template <class WindowFixture>
class UnderLocales : public WindowFixture {
protected:
    // Calculate, copy the grid, export to a file of its own, read it back.
    RunOutcome priceAndExport(const QString& fileName)
    {
        RunOutcome out;
        frmOptions& w = *this->w;
        this->calculate();
        EXPECT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
        out.solution.assign(w.mSolution.begin(), w.mSolution.begin() + w.mLastIndex + 1);

        tarvic::ResultsGrid& grid = *ui(w).MSFlexGrid1;
        tarvic::Clipboard::Clear();
        grid.setRow(1);
        grid.setCol(0);
        grid.selectBlock(grid.Rows() - 1, grid.Cols() - 1);
        ui(w).mnuCopy->trigger();
        out.copied = tarvic::Clipboard::GetText();

        const QString path = folder.filePath(fileName);
        tarvic::ScriptedSaveDialogs saveDialogs;
        saveDialogs.queueAnswer(path);
        this->boxes.shown.clear();
        ui(w).mnuExcel->trigger();
        if (!this->boxes.shown.isEmpty())
            out.message = this->boxes.shown[0].text.replace(path, QStringLiteral("<file>"));
        out.book = readWorkbook(path);
        return out;
    }

    // The run under C.UTF-8, then under each locale, compared with it.
    void expectSameUnderEachLocale()
    {
        RunOutcome reference;
        {
            const ProcessLocale c(LC_ALL, "C.UTF-8");
            ASSERT_TRUE(c.set()) << "C.UTF-8 is part of every Debian system";
            reference = priceAndExport(QStringLiteral("c.xlsx"));
        }
        ASSERT_TRUE(reference.book.failure.isEmpty()) << reference.book.failure.toStdString();
        ASSERT_EQ(reference.message, QStringLiteral("Results saved succesfully in <file>"));
        ASSERT_EQ(reference.book.cell(QStringLiteral("B2")).type, QStringLiteral("n"));

        int index = 0;
        for (const LocaleCase& k : kLocales) {
            ++index;
            RunOutcome got;
            {
                const ProcessLocale locale(k.category, k.name);
                if (!locale.set())
                    GTEST_SKIP() << "the locale " << k.name
                                 << " is not there (scripts/install-deps generates it)";
                ASSERT_EQ(ProcessLocale::decimalPoint(), ",") << k.what;
                got = priceAndExport(QStringLiteral("locale-%1.xlsx").arg(index));
            }
            ASSERT_EQ(got.solution.size(), reference.solution.size()) << k.what;
            EXPECT_EQ(std::memcmp(got.solution.data(), reference.solution.data(),
                                  got.solution.size() * sizeof got.solution[0]),
                      0)
                << k.what << ": the results differ";
            EXPECT_EQ(got.copied, reference.copied) << k.what;
            EXPECT_EQ(got.message, reference.message) << k.what;
            expectSameWorkbook(got.book, reference.book, k.what);
        }
    }

    // Cell by cell: value, type and looks; the run's time is the one value
    // that may differ (and with it the width of its column, K).
    static void expectSameWorkbook(const ReadBackWorkbook& got, const ReadBackWorkbook& want,
                                   const char* what)
    {
        ASSERT_TRUE(got.failure.isEmpty()) << what << ": " << got.failure.toStdString();
        EXPECT_EQ(got.sheets, want.sheets) << what;
        EXPECT_TRUE(got.cells.keys() == want.cells.keys()) << what << ": other cells are written";
        QString timeCell;
        for (auto it = want.cells.begin(); it != want.cells.end(); ++it)
            if (it.value().value.toString() == QLatin1String("CPU TIME"))
                timeCell = QStringLiteral("K") + it.key().mid(1);
        ASSERT_FALSE(timeCell.isEmpty());
        for (auto it = want.cells.begin(); it != want.cells.end(); ++it) {
            const std::string name = std::string(what) + ", " + it.key().toStdString();
            const ReadBackCell& expected = it.value();
            const ReadBackCell cell = got.cell(it.key());
            EXPECT_EQ(cell.type, expected.type) << name;
            if (it.key() != timeCell) {
                EXPECT_TRUE(cell.value == expected.value)
                    << name << ": " << cell.value.toString().toStdString() << " in place of "
                    << expected.value.toString().toStdString();
            }
            EXPECT_EQ(cell.bold, expected.bold) << name;
            EXPECT_EQ(cell.colour, expected.colour) << name;
            EXPECT_EQ(cell.align, expected.align) << name;
        }
        EXPECT_TRUE(got.widths.keys() == want.widths.keys()) << what;
        for (auto it = want.widths.begin(); it != want.widths.end(); ++it)
            if (it.key() != QLatin1String("K")) {
                EXPECT_EQ(got.widths.value(it.key()), it.value()) << what << ", column "
                                                                  << it.key().toStdString();
            }
        EXPECT_TRUE(got.columnAlign == want.columnAlign) << what;
    }

    QTemporaryDir folder;
};

using FiniteDifferencesUnderLocales = UnderLocales<PdeWindowFixture>;
using MonteCarloUnderLocales = UnderLocales<McWindowFixture>;

// A European put by finite differences.
TEST_F(FiniteDifferencesUnderLocales, GiveTheFiguresAndTheWorkbookOfTheCLocale)
{
    typeInputs("100", "100", "20", "5", "0", "1");
    w->setListIndex(ui(w).cboOptions, 1);
    expectSameUnderEachLocale();
}

// A European call on 2^12 Sobol points.
TEST_F(MonteCarloUnderLocales, GiveTheFiguresAndTheWorkbookOfTheCLocale)
{
    typeInputs("100", "100", "20", "5", "0", "1");
    sobolPaths(12);
    expectSameUnderEachLocale();
}

}  // namespace
