// File > Export after real runs of the pricing library, read back with
// openpyxl: the labels and values of the blocks, "N/A" in red exactly where
// a value is missing, bold labels, blue values, columns I and K
// left-aligned, columns wide enough for their texts, and one result row per
// row of the results on show. Also the picture of a chart with the
// plot-options box open.
#include "pricer/run_support.h"
#include "support/screenshot_folder.h"
#include "support/workbook_reader.h"

#include "platform/chart.h"
#include "platform/number_rules.h"
#include "platform/processor_info.h"
#include "platform/save_dialog.h"
#include "platform/workbook_writer.h"

#include <QGroupBox>
#include <QTemporaryDir>
#include <QToolButton>

#include <cmath>
#include <map>

namespace {

const QString kBlue = QStringLiteral("FF0000FF");
const QString kRed = QStringLiteral("FFFF0000");

// Exports the window's run into a fresh folder and reads the workbook back.
ReadBackWorkbook exportAndRead(frmOptions& w, tarvic::ScriptedMessageBoxes& boxes, QTemporaryDir& folder)
{
    tarvic::ScriptedSaveDialogs dialogs;
    const QString path = folder.filePath(QStringLiteral("results.xlsx"));
    dialogs.queueAnswer(path);
    boxes.shown.clear();
    ui(w).mnuExcel->trigger();
    EXPECT_EQ(boxes.shown.size(), 1);
    if (!boxes.shown.isEmpty()) {
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Results saved succesfully in ") + path);
    }
    return readWorkbook(path);
}

// The labels, values and looks of one block: label column, value column,
// the labels from row 1, the values expected (texts as shown, numbers as
// numbers), and the rows that must say "N/A".
void expectBlock(const ReadBackWorkbook& book, const QString& labels, const QString& values,
                 const QStringList& texts, const std::map<int, QVariant>& expected,
                 const QList<int>& missing, int lastMarked)
{
    for (int row = 1; row <= texts.size(); ++row) {
        const QString label = labels + QString::number(row);
        if (texts[row - 1].isEmpty()) {
            EXPECT_TRUE(book.cell(label).value.isNull() ||
                        book.cell(label).value.toString().isEmpty())
                << label.toStdString();
            continue;
        }
        EXPECT_EQ(book.cell(label).value.toString(), texts[row - 1]) << label.toStdString();
        EXPECT_TRUE(book.cell(label).bold) << label.toStdString();
    }
    for (const auto& [row, value] : expected) {
        const ReadBackCell cell = book.cell(values + QString::number(row));
        const std::string name = (values + QString::number(row)).toStdString();
        if (value.typeId() == QMetaType::Double) {
            EXPECT_EQ(cell.type, QStringLiteral("n")) << name;
            EXPECT_DOUBLE_EQ(cell.value.toDouble(), value.toDouble()) << name;
        } else {
            EXPECT_EQ(cell.value.toString(), value.toString()) << name;
        }
        EXPECT_EQ(cell.colour, kBlue) << name;
        EXPECT_FALSE(cell.bold) << name;
    }
    for (int row = 2; row <= lastMarked; ++row) {
        const ReadBackCell cell = book.cell(values + QString::number(row));
        const bool wanted = missing.contains(row);
        EXPECT_EQ(cell.value.toString() == QLatin1String("N/A"), wanted)
            << (values + QString::number(row)).toStdString();
        if (wanted) {
            EXPECT_EQ(cell.colour, kRed) << (values + QString::number(row)).toStdString();
        }
    }
    EXPECT_EQ(book.columnAlign.value(values), QStringLiteral("left"));
    // Each column wide enough for its longest text.
    for (const QString& column : {labels, values}) {
        double widest = 0.0;
        for (auto it = book.cells.begin(); it != book.cells.end(); ++it)
            if (it.key().startsWith(column) && it.key().at(column.size()).isDigit())
                widest = std::max(widest, tarvic::WorkbookWriter::fittingWidth(
                                              it.value().value.toString(), it.value().bold));
        EXPECT_GE(book.widths.value(column), widest) << column.toStdString();
    }
}

// The labels of the product block, the last one on row 17.
QStringList productLabels(const char* row17)
{
    return {"PRODUCT DESCRIPTION", "Payoff Type", "Option Type", "Exercise Style",
            "Num of exercising/monitoring periods", "Strike", "Time to expiry", "Volatility",
            "Interest rate", "Dividend yield", "Up barrier", "Down barrier",
            "Total number of fixings", "Number of settled fixings", "Average of settled fixings",
            "", row17};
}

// The results under their bold headers: N + 1 rows equal to the store,
// or "N/A" in red in a column the run did not compute.
void expectResults(const ReadBackWorkbook& book, const frmOptions& w, const QString& first)
{
    const QStringList headers = {first, QStringLiteral("Value"), QStringLiteral("Delta"),
                                 QStringLiteral("Gamma"), QStringLiteral("Theta"), QStringLiteral("Vega")};
    for (int c = 0; c < 6; ++c) {
        const ReadBackCell header = book.cell(QString(QChar('A' + c)) + QStringLiteral("1"));
        EXPECT_EQ(header.value.toString(), headers[c]);
        EXPECT_TRUE(header.bold);
    }
    EXPECT_FALSE(book.cells.contains(QStringLiteral("A") + QString::number(w.mLastIndex + 3)));
    const tarvic::RunSnapshot& run = w.lastRun();
    const bool computed[6] = {true, true, run.delta, run.gamma, run.theta, run.vega};
    for (int i = 0; i <= w.mLastIndex; ++i)
        for (int c = 0; c < 6; ++c) {
            const QString name = QString(QChar('A' + c)) + QString::number(i + 2);
            const double stored = w.mSolution[static_cast<size_t>(i)][static_cast<size_t>(c)];
            if (!computed[c]) {
                EXPECT_EQ(book.cell(name).value.toString(), QStringLiteral("N/A")) << name.toStdString();
                EXPECT_EQ(book.cell(name).colour, kRed) << name.toStdString();
                continue;
            }
            // Sixteen significant digits survive the file.
            EXPECT_NEAR(book.cell(name).value.toDouble(), stored, 1e-15 * std::max(1.0, std::fabs(stored)))
                << name.toStdString();
        }
    EXPECT_FALSE(book.cells.contains(QStringLiteral("G2")));
}

class ExportRealPde : public PdeWindowFixture {
protected:
    QTemporaryDir folder;
};

// A European put by finite differences.
TEST_F(ExportRealPde, WorkbookOfAFiniteDifferenceRun)
{
    typeInputs("100", "100", "20", "5", "0", "1");
    w->setListIndex(ui(w).cboOptions, 1);
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    const ReadBackWorkbook book = exportAndRead(*w, boxes, folder);
    ASSERT_TRUE(book.failure.isEmpty()) << book.failure.toStdString();
    EXPECT_EQ(book.sheets, 1);

    expectBlock(book, QStringLiteral("H"), QStringLiteral("I"),
                productLabels(""),
                {{2, "Vanilla"}, {3, "Put"}, {4, "European"}, {6, 100.0}, {7, 1.0}, {8, 20.0},
                 {9, 5.0}, {10, 0.0}},
                {5, 11, 12, 13}, 13);
    const frmResol& settings = *resol;
    expectBlock(book, QStringLiteral("J"), QStringLiteral("K"),
                {"SOLVER CONFIGURATION", "Asset steps to strike", "Time steps",
                 "User-defined maximum asset value", "Non-uniform grid", "A-planes/Asset grid spacing",
                 "Discetization scheme", "American Solver", "Planes Interpolation",
                 "Use all available CPU cores", "", "CPU TIME", "CPU INFO"},
                {{2, tarvic::Val(settings.txtNoA->text())},
                 {3, tarvic::Val(settings.txtTS->text())},
                 {4, "NO"},
                 {5, settings.chkNonUniGrid->isChecked() ? "YES" : "NO"},
                 {7, settings.cboDiscrete->currentText()},
                 {10, settings.chkMT->isChecked() ? "YES" : "NO"},
                 {12, ui(w).lblCalcTime->text()},
                 {13, tarvic::GetProcessorDescription()}},
                {6, 8, 9}, 10);
    ASSERT_FALSE(w->lastRun().vega);  // not asked for
    expectResults(book, *w, QStringLiteral("Asset"));
}

// A picture of a chart with the plot-options box open, for the
// documentation.
TEST_F(ExportRealPde, ScreenshotOfThePlotOptionsBox)
{
    typeInputs("100", "100", "25", "5", "0", "1");
    w->setListIndex(ui(w).cboOptions, 1);
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    ui(w).cmdGraph[2]->click();  // gamma
    ui(w).cmdGraph[5]->click();
    ASSERT_FALSE(ui(w).frPlotOptions->isHidden());
    QApplication::processEvents();
    ui(w).chart->refresh();
    QApplication::processEvents();
    saveScreenshot(*dorn, QStringLiteral("chart-plot-options"));
}

class ExportRealMc : public McWindowFixture {
protected:
    QTemporaryDir folder;
};

// A European call by simulation on Sobol points.
TEST_F(ExportRealMc, WorkbookOfAMonteCarloRun)
{
    typeInputs("100", "100", "20", "5", "0", "1");
    sobolPaths(12);
    calculate();
    ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
    const ReadBackWorkbook book = exportAndRead(*w, boxes, folder);
    ASSERT_TRUE(book.failure.isEmpty()) << book.failure.toStdString();

    expectBlock(book, QStringLiteral("H"), QStringLiteral("I"),
                productLabels("Asset spot"),
                {{2, "Vanilla"}, {3, "Call"}, {4, "European"}, {6, 100.0}, {17, 100.0}},
                {5, 11, 12, 13}, 13);
    const frmResolMC& settings = *resolMC;
    const tarvic::McSettings& s = tarvic::gMcSettings;
    const char* const marching[] = {"", "Exact", "Euler", "Milstein"};
    expectBlock(book, QStringLiteral("J"), QStringLiteral("K"),
                {"SOLVER CONFIGURATION", "Number of paths", "Number generator type",
                 "Time marching scheme", "Variance reduction method",
                 "Longstaff-Schwartz number of paths", "Longstaff-Schwartz number of basis functions",
                 "Sensitivities method", "Warm up Sobol sequence", "Use all available CPU cores",
                 "Continous monitoring correction", "", "CPU TIME", "CPU INFO"},
                {{2, 4096.0},
                 {3, "Sobol"},
                 {4, marching[s.gTimeMarching]},
                 // The bridge ticked; antithetic variables are for
                 // pseudo-random numbers.
                 {5, "Brownian bridge path construction"},
                 {8, settings.optGreekMethod[0]->isChecked() ? "Likelihood ratio" : "Finite differencing"},
                 {9, settings.chkWarm->isChecked() ? "YES" : "NO"},
                 {10, settings.chkMT->isChecked() ? "YES" : "NO"},
                 {13, ui(w).lblCalcTime->text()},
                 {14, tarvic::GetProcessorDescription()}},
                {6, 7, 11}, 11);
    ASSERT_GT(w->mLastIndex, 0);
    expectResults(book, *w, QStringLiteral("Number of paths"));
}

}  // namespace
