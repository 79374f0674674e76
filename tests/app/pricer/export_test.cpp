// File > Export: the workbook's blocks for each kind of contract and
// solver (as a table over the run's snapshot), and the export as the user
// meets it against the recording stand-in library: a cancel writes
// nothing, a failed save says why and leaves no file, the success message
// comes once the file is in place, what is written is the run on show, and
// a processor that cannot be described leaves only its own cell empty.
#include "pricer/run_support.h"
#include "support/workbook_reader.h"

#include "platform/message_box.h"
#include "platform/processor_info.h"
#include "platform/runtime_error.h"
#include "platform/save_dialog.h"
#include "platform/workbook_writer.h"
#include "pricer/results_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <map>
#include <set>
#include <unistd.h>

namespace {

using tarvic::Exercise;
using tarvic::Payoff;
using tarvic::RunSnapshot;

// ---------------------------------------------------------------------------
// The blocks, from the snapshot alone

const char* const kPayoffTexts[] = {
    "Vanilla",           "Barrier - Up & Out",    "Barrier - Down & Out",
    "Barrier - Up & In", "Barrier - Down & In",   "Barrier - Double & Out",
    "Barrier - Double & In", "Asian - Fixed Strike", "Asian - Floating Strike",
};

RunSnapshot snapshot(int32_t solver, Payoff payoff, Exercise exercise)
{
    RunSnapshot run;
    run.solver = solver;
    run.payoff = payoff;
    run.exercise = exercise;
    run.optionType = tarvic::OptionType::Put;
    run.payoffText = QString::fromLatin1(kPayoffTexts[static_cast<int>(payoff)]);
    run.optionTypeText = QStringLiteral("Put");
    run.exerciseText = exercise == Exercise::European   ? QStringLiteral("European")
                       : exercise == Exercise::American ? QStringLiteral("American")
                                                        : QStringLiteral("Bermudan");
    tarvic::ContractForm& t = run.typed;
    t.asset = QStringLiteral("100");
    t.strike = QStringLiteral("100");
    t.expiry = QStringLiteral("0.5");
    t.volatility = QStringLiteral("20");
    t.interestRate = QStringLiteral("5");
    t.dividend = QStringLiteral("");
    t.periods = QStringLiteral("4");
    t.fixings = QStringLiteral("12");
    t.settledFixings = QStringLiteral("3");
    run.upBarrier = tarvic::hasUpBarrier(payoff) ? 120.0 : 0.0;
    run.downBarrier = tarvic::hasDownBarrier(payoff) ? 80.0 : 0.0;
    run.pde.assetSteps = 50;
    run.pde.timeSteps = 200;
    run.pde.discretization = 2;
    run.pde.amerSolver = 1;
    run.pde.nonUniformGrid = true;
    run.pde.planeSpacing = 4;
    run.pde.planesInterp = 2;
    run.mc.sobol = true;
    run.mc.pathsRun = 4096;
    run.mc.lsPathsRun = 2048;
    run.mc.basisFunctions = 6;
    run.mc.greeksMethod = 2;
    run.mc.timeMarching = 1;
    run.mc.brownianBridge = true;
    run.mc.multiThreaded = true;
    run.lastIndex = 2;
    run.timeText = QStringLiteral("0.125 sec");
    run.delta = run.gamma = run.theta = run.vega = true;
    return run;
}

struct BlockCase {
    const char* name;
    RunSnapshot run;
    std::map<const char*, const char*> shown;  // cell: text shown
    std::set<QString> missing;                 // the cells that say "N/A"
};

RunSnapshot with(RunSnapshot run, const std::function<void(RunSnapshot&)>& change)
{
    change(run);
    return run;
}

TEST(ResultsWorkbook, BlocksAndMissingValuesByContractAndSolver)
{
    using tarvic::kSolverMc;
    using tarvic::kSolverPde;
    const BlockCase cases[] = {
        {"finite differences, European vanilla",
         snapshot(kSolverPde, Payoff::Vanilla, Exercise::European),
         {{"H1", "PRODUCT DESCRIPTION"}, {"I2", "Vanilla"}, {"I3", "Put"}, {"I4", "European"},
          {"I6", "100"}, {"I7", "0.5"}, {"I8", "20"}, {"I9", "5"}, {"H15", "Average of settled fixings"},
          {"I14", ""}, {"I15", ""}, {"H17", ""}, {"J1", "SOLVER CONFIGURATION"}, {"K2", "50"},
          {"K3", "200"}, {"K4", "NO"}, {"K5", "YES"}, {"K7", "Crank-Nicolson with Rannacher"},
          {"K10", "NO"}, {"J11", ""}, {"K12", "0.125 sec"}, {"J13", "CPU INFO"}, {"K13", "cpu"},
          {"A1", "Asset"}, {"F1", "Vega"}},
         {"I5", "I10", "I11", "I12", "I13", "K6", "K8", "K9"}},
        {"finite differences, Bermudan vanilla with a maximum asset value",
         with(snapshot(kSolverPde, Payoff::Vanilla, Exercise::Bermudan),
              [](RunSnapshot& r) { r.pde.maxAsset = 400.0; }),
         {{"I4", "Bermudan"}, {"I5", "4"}, {"K4", "400"}, {"K8", "Projected Turbo SOR"}},
         {"I10", "I11", "I12", "I13", "K6", "K9"}},
        {"finite differences, Bermudan Asian with settled fixings and no average typed",
         snapshot(kSolverPde, Payoff::AsianFixedStrike, Exercise::Bermudan),
         {{"I13", "12"}, {"I14", "3"}, {"I15", "0"}, {"K6", "4:1"}, {"K9", "Cubic"}},
         {"I5", "I10", "I11", "I12"}},
        {"finite differences, Asian without settled fixings",
         with(snapshot(kSolverPde, Payoff::AsianFixedStrike, Exercise::European),
              [](RunSnapshot& r) { r.typed.settledFixings = QStringLiteral("0"); }),
         {{"I14", "0"}, {"I15", ""}},
         {"I5", "I10", "I11", "I12", "K8"}},
        {"finite differences, double knock-out", snapshot(kSolverPde, Payoff::DoubleOut, Exercise::European),
         {{"I5", "4"}, {"I11", "120"}, {"I12", "80"}},
         {"I10", "I13", "K6", "K8", "K9"}},
        {"finite differences, up-and-in", snapshot(kSolverPde, Payoff::UpAndIn, Exercise::European),
         {{"I11", "120"}},
         {"I10", "I12", "I13", "K6", "K8", "K9"}},
        {"Monte Carlo, European vanilla on pseudo-random numbers, the bridge kept for Sobol points",
         with(snapshot(kSolverMc, Payoff::Vanilla, Exercise::European),
              [](RunSnapshot& r) {
                  r.mc.sobol = false;
                  r.mc.pathsRun = 50000;
              }),
         {{"K2", "50000"}, {"K3", "Pseudo-random"}, {"K4", "Exact"},
          {"K5", "None used"}, {"K8", "Finite differencing"},
          {"K10", "YES"}, {"J12", ""}, {"K13", "0.125 sec"}, {"K14", "cpu"}, {"H17", "Asset spot"},
          {"I17", "100"}, {"A1", "Number of paths"}},
         {"I5", "I10", "I11", "I12", "I13", "K6", "K7", "K9", "K11"}},
        {"Monte Carlo, Bermudan knock-out watched on dates, Sobol points, antithetic kept for "
         "pseudo-random numbers",
         with(snapshot(kSolverMc, Payoff::DownAndOut, Exercise::Bermudan),
              [](RunSnapshot& r) {
                  r.mc.antithetic = true;
                  r.mc.warmUp = true;
                  r.mc.timeMarching = 3;
                  r.mc.greeksMethod = 1;
              }),
         {{"I5", "4"}, {"I12", "80"}, {"K2", "4096"}, {"K3", "Sobol"}, {"K4", "Milstein"},
          {"K5", "Brownian bridge path construction"}, {"K6", "2048"}, {"K7", "6"}, {"K8", "Likelihood ratio"},
          {"K9", "YES"}, {"K11", "NO"}},
         {"I10", "I11", "I13"}},
    };
    tarvic::ResultRows store(3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 7; ++c)
            store[static_cast<size_t>(r)][static_cast<size_t>(c)] = 10.0 * r + c;
    // A figure that is no number goes in as text, which keeps the workbook
    // readable.
    store[1][3] = std::nan("");
    for (const BlockCase& c : cases) {
        const tarvic::WorkbookWriter book = tarvic::resultsWorkbook(c.run, store, QStringLiteral("cpu"));
        for (const auto& [cell, text] : c.shown)
            EXPECT_EQ(book.text(QString::fromLatin1(cell)), QString::fromLatin1(text))
                << c.name << ": " << cell;
        // "N/A" exactly where a value is missing, in the ranges that mark them.
        const int lastK = c.run.solver == kSolverMc ? 11 : 10;
        std::set<QString> missing;
        for (int row = 2; row <= 14; ++row)
            for (const char* column : {"I", "K"}) {
                const QString cell = QString::fromLatin1(column) + QString::number(row);
                if (book.text(cell) == QLatin1String("N/A"))
                    missing.insert(cell);
                if (row > (column[0] == 'I' ? 13 : lastK)) {
                    EXPECT_NE(book.text(cell), QStringLiteral("N/A")) << c.name << ": " << cell.toStdString();
                }
            }
        EXPECT_EQ(missing, c.missing) << c.name;
        // The results: rows 0 to the last, six columns, under the headers.
        EXPECT_EQ(book.text(QStringLiteral("A2")), QStringLiteral("0"));
        EXPECT_EQ(book.text(QStringLiteral("F4")), QStringLiteral("25"));
        EXPECT_EQ(book.text(QStringLiteral("D3")), QStringLiteral("NaN"));
        EXPECT_EQ(book.text(QStringLiteral("G4")), QString());
        EXPECT_EQ(book.text(QStringLiteral("A5")), QString());
    }
}

// The variance reduction written is the one the run used: the run keeps
// the choices of both generators, and each applies to its own only.
TEST(ResultsWorkbook, VarianceReductionIsTheOneTheRunUsed)
{
    struct Case {
        bool sobol, antithetic, bridge;
        const char* written;
    };
    const Case cases[] = {
        {true, false, true, "Brownian bridge path construction"},
        {true, true, true, "Brownian bridge path construction"},
        {true, true, false, "None used"},
        {true, false, false, "None used"},
        {false, true, false, "Antithetic variables"},
        {false, true, true, "Antithetic variables"},
        {false, false, true, "None used"},
        {false, false, false, "None used"},
    };
    const tarvic::ResultRows store(3);
    for (const Case& c : cases) {
        RunSnapshot run = snapshot(tarvic::kSolverMc, Payoff::Vanilla, Exercise::European);
        run.mc.sobol = c.sobol;
        run.mc.antithetic = c.antithetic;
        run.mc.brownianBridge = c.bridge;
        const tarvic::WorkbookWriter book = tarvic::resultsWorkbook(run, store, QStringLiteral("cpu"));
        EXPECT_EQ(book.text(QStringLiteral("J5")), QStringLiteral("Variance reduction method"));
        EXPECT_EQ(book.text(QStringLiteral("K5")), QString::fromLatin1(c.written))
            << "Sobol " << c.sobol << ", antithetic " << c.antithetic << ", bridge " << c.bridge;
    }
}

// A sensitivity the run did not compute is written as missing in each of
// its result rows, not as the zeros of the store; the columns it computed
// keep their numbers.
TEST(ResultsWorkbook, ASensitivityNotComputedIsWrittenAsMissing)
{
    struct Case {
        const char* name;
        int32_t solver;
        bool delta, theta, vega;  // computed (gamma goes with delta)
    };
    const Case cases[] = {
        {"finite differences without theta and vega", tarvic::kSolverPde, true, false, false},
        {"finite differences without vega", tarvic::kSolverPde, true, true, false},
        {"Monte Carlo with theta alone", tarvic::kSolverMc, false, true, false},
        {"Monte Carlo with every sensitivity", tarvic::kSolverMc, true, true, true},
    };
    tarvic::ResultRows store(3);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 7; ++c)
            store[static_cast<size_t>(r)][static_cast<size_t>(c)] = c < 2 ? 10.0 * r + c : 0.0;
    for (const Case& c : cases) {
        RunSnapshot run = snapshot(c.solver, Payoff::Vanilla, Exercise::European);
        run.delta = run.gamma = c.delta;
        run.theta = c.theta;
        run.vega = c.vega;
        const tarvic::WorkbookWriter book = tarvic::resultsWorkbook(run, store, QStringLiteral("cpu"));
        const bool computed[6] = {true, true, c.delta, c.delta, c.theta, c.vega};
        for (int row = 2; row <= 4; ++row)
            for (int col = 0; col < 6; ++col) {
                const QString cell = QString(QChar('A' + col)) + QString::number(row);
                const QString shown = col < 2 ? QString::number(10 * (row - 2) + col) : QStringLiteral("0");
                EXPECT_EQ(book.text(cell), computed[col] ? shown : QStringLiteral("N/A"))
                    << c.name << ": " << cell.toStdString();
            }
        EXPECT_EQ(book.text(QStringLiteral("E1")), QStringLiteral("Theta")) << c.name;
        EXPECT_EQ(book.text(QStringLiteral("C5")), QString()) << c.name;
    }
}

// ---------------------------------------------------------------------------
// The export as the user meets it

// A seam that notes, as each box shows, whether the workbook is in place.
class BoxesThatLookForTheFile : public tarvic::ScriptedMessageBoxes {
public:
    tarvic::MsgResult show(QWidget* parent, const tarvic::MsgBoxRequest& request) override
    {
        fileThere.append(QFileInfo(path).isFile());
        return ScriptedMessageBoxes::show(parent, request);
    }
    QString path;
    QList<bool> fileThere;
};

class Export : public RecordingFixture {
protected:
    void SetUp() override
    {
        RecordingFixture::SetUp();
        ASSERT_TRUE(folder.isValid());
        typeInputs();
        calculate();
        ASSERT_EQ(ui(w).lblProgress->text(), QStringLiteral("Ready"));
        ASSERT_TRUE(ui(w).mnuExcel->isEnabled());
    }

    QStringList folderEntries() const
    {
        return QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir folder;
    tarvic::ScriptedSaveDialogs saveDialogs;
};

// Cancel ends the export without a word or a file.
TEST_F(Export, CancelWritesNothing)
{
    saveDialogs.queueAnswer(QString());
    boxes.shown.clear();
    ui(w).mnuExcel->trigger();
    ASSERT_EQ(saveDialogs.shown.size(), 1);
    EXPECT_EQ(saveDialogs.shown[0].title, QStringLiteral("Save results as xls file"));
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_TRUE(folderEntries().isEmpty());
}

// A save that cannot be made says why, under its own title, and leaves no
// file behind; a folder in the way stays as it was.
TEST_F(Export, AFailedSaveSaysWhyAndLeavesNoFile)
{
    struct Case {
        const char* name;
        QString target;
        const char* reason;
    };
    const QString taken = folder.filePath(QStringLiteral("taken.xlsx"));
    ASSERT_TRUE(QDir().mkpath(taken + QStringLiteral("/inside")));
    const Case cases[] = {
        {"a missing folder", folder.filePath(QStringLiteral("absent/results.xlsx")), "does not exist"},
        {"a target that is a folder", taken, "is a folder"},
    };
    for (const Case& c : cases) {
        saveDialogs.queueAnswer(c.target);
        boxes.shown.clear();
        ui(w).mnuExcel->trigger();
        ASSERT_EQ(boxes.shown.size(), 1) << c.name;
        const tarvic::MsgBoxRequest& box = boxes.shown[0];
        EXPECT_EQ(box.title, QStringLiteral("Error while exporting to file")) << c.name;
        EXPECT_EQ(box.icon, tarvic::MsgIcon::Exclamation) << c.name;
        EXPECT_TRUE(box.text.contains(c.target)) << box.text.toStdString();
        EXPECT_TRUE(box.text.contains(QString::fromLatin1(c.reason))) << box.text.toStdString();
        EXPECT_FALSE(box.text.startsWith(QStringLiteral("Automation error")));
        EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("taken.xlsx")}) << c.name;
    }
    EXPECT_TRUE(QFileInfo(taken + QStringLiteral("/inside")).isDir());
    EXPECT_TRUE(ui(w).mnuExcel->isEnabled());
}

// A read-only workbook is replaced only after a yes to the question that
// says it is read-only, and stays read-only; a no keeps it as it was.
TEST_F(Export, AReadOnlyFileIsReplacedOnlyAfterAYes)
{
    const QString path = folder.filePath(QStringLiteral("run.xlsx"));
    const QByteArray oldContent("an older export");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(oldContent);
    }
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QString question = path + QStringLiteral(" is read-only.\nDo you want to replace it anyway?");

    // No, then a cancel in the dialog shown again.
    saveDialogs.queueAnswer(path);
    boxes.queueAnswer(tarvic::MsgResult::No);
    boxes.shown.clear();
    ui(w).mnuExcel->trigger();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, question);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), oldContent);
    old.close();

    saveDialogs.queueAnswer(path);
    boxes.queueAnswer(tarvic::MsgResult::Yes);
    boxes.shown.clear();
    ui(w).mnuExcel->trigger();
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].text, question);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("Results saved succesfully in ") + path);
    EXPECT_EQ(readWorkbook(path).cell(QStringLiteral("I3")).value.toString(), QStringLiteral("Call"));
    EXPECT_EQ(QFile::permissions(path) & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther),
              QFile::Permissions());
    EXPECT_EQ(folderEntries(), QStringList{QStringLiteral("run.xlsx")});
}

// Writes of a save in place that fail from their first byte, at the
// stages given: a full disk for the new workbook, a device error for the
// old one put back.
class FailingWrites : public tarvic::InPlaceSaveSeam {
public:
    explicit FailingWrites(bool restoreFails)
        : m_restoreFails(restoreFails)
    {
        m_previous = tarvic::setInPlaceSaveSeam(this);
    }
    ~FailingWrites() override { tarvic::setInPlaceSaveSeam(m_previous); }
    FailingWrites(const FailingWrites&) = delete;
    FailingWrites& operator=(const FailingWrites&) = delete;

    ssize_t write(Stage stage, int fd, const char* data, size_t size, off_t offset) override
    {
        if (stage == Stage::Write || (stage == Stage::Restore && m_restoreFails)) {
            errno = stage == Stage::Write ? ENOSPC : EIO;
            return -1;
        }
        return InPlaceSaveSeam::write(stage, fd, data, size, offset);
    }

private:
    bool m_restoreFails;
    InPlaceSaveSeam* m_previous = nullptr;
};

// A workbook with a second name is written in place; when that fails the
// box says which file holds which workbook: the old one put back, or,
// where that fails too, the backup and the new workbook kept and named.
TEST_F(Export, AFailedSaveInPlaceSaysWhichFileHoldsWhich)
{
    const QString path = folder.filePath(QStringLiteral("run.xlsx"));
    const QString other = folder.filePath(QStringLiteral("run-link.xlsx"));
    const QByteArray oldContent("an older export");
    const struct {
        const char* name;
        bool restoreFails;
        QString message;
        QStringList entries;
    } cases[] = {
        {"the old workbook put back", false,
         "Cannot save " + path + ": No space left on device. " + path +
             " holds the old workbook still.",
         {"run-link.xlsx", "run.xlsx"}},
        {"putting it back fails too", true,
         "Cannot save " + path + ": No space left on device. Putting the old workbook back failed "
             "too (Input/output error), so " + path + " and the file's other names hold neither "
             "workbook whole. The old workbook is in " + path + ".backup and the new one in " +
             path + ".new: copy the one you want over " + path + ".",
         {"run-link.xlsx", "run.xlsx", "run.xlsx.backup", "run.xlsx.new"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& entry : folderEntries())
            QFile::remove(folder.filePath(entry));
        {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write(oldContent);
        }
        ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
        saveDialogs.queueAnswer(path);
        boxes.queueAnswer(tarvic::MsgResult::Yes);  // replace it
        boxes.shown.clear();
        {
            const FailingWrites disk(c.restoreFails);
            ui(w).mnuExcel->trigger();
        }
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_EQ(boxes.shown[1].title, QStringLiteral("Error while exporting to file"));
        EXPECT_EQ(boxes.shown[1].text, c.message);
        QStringList entries = folderEntries();
        entries.sort();
        EXPECT_EQ(entries, c.entries);
        if (c.restoreFails) {
            QFile backup(path + QStringLiteral(".backup"));
            ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
            EXPECT_EQ(backup.readAll(), oldContent);
            // The reader goes by the name's ending.
            const QString copy = folder.filePath(QStringLiteral("copy.xlsx"));
            ASSERT_TRUE(QFile::copy(path + QStringLiteral(".new"), copy));
            const ReadBackWorkbook book = readWorkbook(copy);
            EXPECT_TRUE(book.failure.isEmpty()) << book.failure.toStdString();
            EXPECT_EQ(book.cell(QStringLiteral("I2")).value.toString(), QStringLiteral("Vanilla"));
        } else {
            QFile kept(other);
            ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
            EXPECT_EQ(kept.readAll(), oldContent);
        }
    }
}

// What is written is the run on show: the contract typed for it, the
// settings it ran with and its time, whatever was typed or set since; the
// message names the file once it is there.
TEST_F(Export, TheRunOnShowIsWrittenNotTheBoxesAsTheyStand)
{
    const QString runTime = ui(w).lblCalcTime->text();
    // The steps the library was given.
    const double timeSteps = record->args[1];
    const double assetSteps = record->args[6];
    ui(w).txtStrike->setText(QStringLiteral("95"));
    ui(w).txtVol->setText(QStringLiteral("35"));
    setSteps("120", "333");
    w->setListIndex(ui(w).cboOptions, 1);

    // A name typed without its ending gets it; the message names the file
    // written.
    BoxesThatLookForTheFile looking;
    const QString path = folder.filePath(QStringLiteral("run.xlsx"));
    looking.path = path;
    saveDialogs.queueAnswer(folder.filePath(QStringLiteral("run")));
    ui(w).mnuExcel->trigger();
    ASSERT_EQ(looking.shown.size(), 1);
    EXPECT_EQ(looking.shown[0].text, QStringLiteral("Results saved succesfully in ") + path);
    EXPECT_EQ(looking.shown[0].icon, tarvic::MsgIcon::Information);
    EXPECT_EQ(looking.fileThere, QList<bool>{true});

    const ReadBackWorkbook book = readWorkbook(path);
    ASSERT_TRUE(book.failure.isEmpty()) << book.failure.toStdString();
    EXPECT_EQ(book.cell(QStringLiteral("I3")).value.toString(), QStringLiteral("Call"));
    EXPECT_EQ(book.cell(QStringLiteral("I6")).value.toDouble(), 100.0);
    EXPECT_EQ(book.cell(QStringLiteral("I8")).value.toDouble(), 20.0);
    EXPECT_EQ(book.cell(QStringLiteral("K2")).value.toDouble(), assetSteps);
    EXPECT_EQ(book.cell(QStringLiteral("K3")).value.toDouble(), timeSteps);
    EXPECT_NE(timeSteps, 333.0);
    EXPECT_EQ(book.cell(QStringLiteral("K12")).value.toString(), runTime);
    EXPECT_EQ(book.cell(QStringLiteral("K13")).value.toString(), tarvic::GetProcessorDescription());
    // The results on show, node by node.
    EXPECT_EQ(book.maxRow, w->mLastIndex + 2);
    for (int i = 0; i <= w->mLastIndex; i += 25)
        EXPECT_DOUBLE_EQ(book.cell(QStringLiteral("B") + QString::number(i + 2)).value.toDouble(),
                         w->mSolution[static_cast<size_t>(i)][1])
            << i;
}

// Vega was not asked for: the workbook says it is missing, in red, row by
// row, and writes the theta the run computed.
TEST_F(Export, ASensitivityNotComputedIsWrittenAsMissing)
{
    ASSERT_FALSE(w->lastRun().vega);
    ASSERT_TRUE(w->lastRun().theta);
    const QString path = folder.filePath(QStringLiteral("run.xlsx"));
    saveDialogs.queueAnswer(path);
    ui(w).mnuExcel->trigger();
    const ReadBackWorkbook book = readWorkbook(path);
    ASSERT_TRUE(book.failure.isEmpty()) << book.failure.toStdString();
    EXPECT_EQ(book.cell(QStringLiteral("F1")).value.toString(), QStringLiteral("Vega"));
    for (const int i : {0, 10, w->mLastIndex}) {
        const QString row = QString::number(i + 2);
        const ReadBackCell vega = book.cell(QStringLiteral("F") + row);
        EXPECT_EQ(vega.value.toString(), QStringLiteral("N/A")) << i;
        EXPECT_EQ(vega.colour, QStringLiteral("FFFF0000")) << i;
        const ReadBackCell theta = book.cell(QStringLiteral("E") + row);
        EXPECT_EQ(theta.type, QStringLiteral("n")) << i;
        EXPECT_DOUBLE_EQ(theta.value.toDouble(), w->mSolution[static_cast<size_t>(i)][4]) << i;
    }
}

// A processor that cannot be described stops nothing: the workbook is
// written, with its results and the heading of the processor, and the
// processor's cell left empty.
TEST_F(Export, AnUnreadableProcessorLeavesItsCellEmpty)
{
    struct RestoreTheMachine {
        ~RestoreTheMachine() { tarvic::setProcessorDescriptionSource({}); }
    } restore;
    int asked = 0;
    tarvic::setProcessorDescriptionSource([&asked]() -> QString {
        ++asked;
        tarvic::RaiseError(tarvic::kErrFileNotFound, QStringLiteral("File not found"));
    });
    const QString path = folder.filePath(QStringLiteral("run.xlsx"));
    saveDialogs.queueAnswer(path);
    boxes.shown.clear();
    ui(w).mnuExcel->trigger();
    EXPECT_EQ(asked, 1);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Results saved succesfully in ") + path);
    EXPECT_EQ(boxes.shown[0].icon, tarvic::MsgIcon::Information);

    const ReadBackWorkbook book = readWorkbook(path);
    ASSERT_TRUE(book.failure.isEmpty()) << book.failure.toStdString();
    EXPECT_EQ(book.cell(QStringLiteral("J13")).value.toString(), QStringLiteral("CPU INFO"));
    EXPECT_TRUE(book.cell(QStringLiteral("K13")).value.toString().isEmpty());
    EXPECT_EQ(book.cell(QStringLiteral("K12")).value.toString(), ui(w).lblCalcTime->text());
    EXPECT_EQ(book.maxRow, w->mLastIndex + 2);
    EXPECT_DOUBLE_EQ(book.cell(QStringLiteral("B2")).value.toDouble(), w->mSolution[0][1]);
    const size_t last = static_cast<size_t>(w->mLastIndex);
    EXPECT_DOUBLE_EQ(book.cell(QStringLiteral("B") + QString::number(w->mLastIndex + 2)).value.toDouble(),
                     w->mSolution[last][1]);
}

}  // namespace
