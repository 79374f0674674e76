#include "pricer/results_export.h"

#include "platform/number_rules.h"
#include "platform/runtime_error.h"
#include "shared/solver_mode.h"

#include <QColor>
#include <QRegularExpression>
#include <QStringList>

namespace tarvic {
namespace {

const QColor kValueBlue(0, 0, 255);
const QColor kMissingRed(255, 0, 0);

QString yesNo(bool yes)
{
    return yes ? QStringLiteral("YES") : QStringLiteral("NO");
}

// A text the user typed: a plain decimal number goes in as that number,
// anything else as the text; an empty box leaves the cell empty.
void putTyped(WorkbookWriter& book, const QString& cell, const QString& typed)
{
    static const QRegularExpression plainNumber(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return;
    if (plainNumber.match(text).hasMatch())
        book.setNumber(cell, Val(text));
    else
        book.setText(cell, typed);
}

// Every empty cell of column `column`, rows first to last, says "N/A" in red.
void markMissing(WorkbookWriter& book, const QString& column, int first, int last)
{
    for (int row = first; row <= last; ++row) {
        const QString cell = column + QString::number(row);
        if (book.text(cell).isEmpty()) {
            book.setText(cell, QStringLiteral("N/A"));
            book.setFontColor(cell, kMissingRed);
        }
    }
}

// Columns H and I: the contract as typed for the run.
void productBlock(WorkbookWriter& book, const RunSnapshot& run)
{
    const ContractForm& typed = run.typed;
    const Payoff p = run.payoff;
    book.setBold(QStringLiteral("H1:H17"));
    book.setTexts(QStringLiteral("H1"),
                  {QStringLiteral("PRODUCT DESCRIPTION"), QStringLiteral("Payoff Type"),
                   QStringLiteral("Option Type"), QStringLiteral("Exercise Style"),
                   QStringLiteral("Num of exercising/monitoring periods"), QStringLiteral("Strike"),
                   QStringLiteral("Time to expiry"), QStringLiteral("Volatility"),
                   QStringLiteral("Interest rate"), QStringLiteral("Dividend yield"),
                   QStringLiteral("Up barrier"), QStringLiteral("Down barrier"),
                   QStringLiteral("Total number of fixings"),
                   QStringLiteral("Number of settled fixings"),
                   QStringLiteral("Average of settled fixings")});
    book.setText(QStringLiteral("I2"), run.payoffText);
    book.setText(QStringLiteral("I3"), run.optionTypeText);
    book.setText(QStringLiteral("I4"), run.exerciseText);
    // Periods: the exercise dates of a Bermudan vanilla, the monitoring
    // dates of a barrier.
    if ((p == Payoff::Vanilla && run.exercise == Exercise::Bermudan) || isBarrier(p))
        putTyped(book, QStringLiteral("I5"), typed.periods);
    putTyped(book, QStringLiteral("I6"), typed.strike);
    putTyped(book, QStringLiteral("I7"), typed.expiry);
    putTyped(book, QStringLiteral("I8"), typed.volatility);
    putTyped(book, QStringLiteral("I9"), typed.interestRate);
    putTyped(book, QStringLiteral("I10"), typed.dividend);
    if (hasUpBarrier(p))
        book.setNumber(QStringLiteral("I11"), run.upBarrier);
    if (hasDownBarrier(p))
        book.setNumber(QStringLiteral("I12"), run.downBarrier);
    if (isAsian(p)) {
        putTyped(book, QStringLiteral("I13"), typed.fixings);
        putTyped(book, QStringLiteral("I14"), typed.settledFixings);
        putTyped(book, QStringLiteral("I15"), typed.settledAverage);
        // Settled fixings without an average typed: their average is 0.
        if (typed.settledAverage.isEmpty() && Val(typed.settledFixings) > 0.0)
            book.setNumber(QStringLiteral("I15"), 0.0);
    }
    // A Monte Carlo estimate prices one spot.
    if (run.solver == kSolverMc) {
        book.setText(QStringLiteral("H17"), QStringLiteral("Asset spot"));
        putTyped(book, QStringLiteral("I17"), typed.asset);
    }
    book.setFontColor(QStringLiteral("I2:I17"), kValueBlue);
    markMissing(book, QStringLiteral("I"), 2, 13);
    book.setColumnLeftAligned(QStringLiteral("I"));
}

// The variance reduction a Monte Carlo run used. The run keeps both
// choices, but antithetic variables pair pseudo-random draws only and the
// Brownian bridge arranges Sobol points only: the generator not chosen
// ignores its choice.
QString varianceReduction(const McRunSettings& s)
{
    if (!s.sobol && s.antithetic)
        return QStringLiteral("Antithetic variables");
    if (s.sobol && s.brownianBridge)
        return QStringLiteral("Brownian bridge path construction");
    return QStringLiteral("None used");
}

// Columns J and K of a Monte Carlo run.
void monteCarloBlock(WorkbookWriter& book, const RunSnapshot& run, const QString& processor)
{
    const McRunSettings& s = run.mc;
    const bool early = isEarlyExercise(run.exercise);
    book.setTexts(QStringLiteral("J1"),
                  {QStringLiteral("SOLVER CONFIGURATION"), QStringLiteral("Number of paths"),
                   QStringLiteral("Number generator type"), QStringLiteral("Time marching scheme"),
                   QStringLiteral("Variance reduction method"),
                   QStringLiteral("Longstaff-Schwartz number of paths"),
                   QStringLiteral("Longstaff-Schwartz number of basis functions"),
                   QStringLiteral("Sensitivities method"), QStringLiteral("Warm up Sobol sequence"),
                   QStringLiteral("Use all available CPU cores"),
                   QStringLiteral("Continous monitoring correction"), QString(),
                   QStringLiteral("CPU TIME"), QStringLiteral("CPU INFO")});
    book.setNumber(QStringLiteral("K2"), static_cast<double>(s.pathsRun));
    book.setText(QStringLiteral("K3"), s.sobol ? QStringLiteral("Sobol") : QStringLiteral("Pseudo-random"));
    book.setText(QStringLiteral("K4"), s.timeMarching == 1   ? QStringLiteral("Exact")
                                       : s.timeMarching == 2 ? QStringLiteral("Euler")
                                                             : QStringLiteral("Milstein"));
    book.setText(QStringLiteral("K5"), varianceReduction(s));
    if (early) {
        book.setNumber(QStringLiteral("K6"), static_cast<double>(s.lsPathsRun));
        book.setNumber(QStringLiteral("K7"), s.basisFunctions);
    }
    book.setText(QStringLiteral("K8"), s.greeksMethod == 1 ? QStringLiteral("Likelihood ratio")
                                                           : QStringLiteral("Finite differencing"));
    if (s.sobol)
        book.setText(QStringLiteral("K9"), yesNo(s.warmUp));
    book.setText(QStringLiteral("K10"), yesNo(s.multiThreaded));
    if (isBarrier(run.payoff))
        book.setText(QStringLiteral("K11"), yesNo(run.continuousMonitoring));
    book.setText(QStringLiteral("K13"), run.timeText);
    if (!processor.isEmpty())
        book.setText(QStringLiteral("K14"), processor);
    book.setFontColor(QStringLiteral("K2:K14"), kValueBlue);
    markMissing(book, QStringLiteral("K"), 2, 11);
}

// Columns J and K of a finite-difference run.
void finiteDifferenceBlock(WorkbookWriter& book, const RunSnapshot& run, const QString& processor)
{
    const PdeRunSettings& s = run.pde;
    const bool asian = isAsian(run.payoff);
    book.setTexts(QStringLiteral("J1"),
                  {QStringLiteral("SOLVER CONFIGURATION"), QStringLiteral("Asset steps to strike"),
                   QStringLiteral("Time steps"), QStringLiteral("User-defined maximum asset value"),
                   QStringLiteral("Non-uniform grid"), QStringLiteral("A-planes/Asset grid spacing"),
                   QStringLiteral("Discetization scheme"), QStringLiteral("American Solver"),
                   QStringLiteral("Planes Interpolation"),
                   QStringLiteral("Use all available CPU cores"), QString(),
                   QStringLiteral("CPU TIME"), QStringLiteral("CPU INFO")});
    static const char* const schemes[] = {"Implicit", "Crank-Nicolson", "Crank-Nicolson with Rannacher"};
    static const char* const solvers[] = {"Projected SOR", "Projected Turbo SOR", "Brennan-Schwartz"};
    static const char* const planes[] = {"Linear", "Quadratic", "Cubic"};
    const auto listText = [](const char* const* items, int32_t index) {
        return index >= 0 && index < 3 ? QString::fromLatin1(items[index]) : QString();
    };
    book.setNumber(QStringLiteral("K2"), s.assetSteps);
    book.setNumber(QStringLiteral("K3"), s.timeSteps);
    if (s.maxAsset > 0.0)
        book.setNumber(QStringLiteral("K4"), s.maxAsset);
    else
        book.setText(QStringLiteral("K4"), yesNo(false));
    book.setText(QStringLiteral("K5"), yesNo(s.nonUniformGrid));
    // The planes of the running average belong to the Asian contracts.
    if (asian)
        book.setText(QStringLiteral("K6"), QString::number(s.planeSpacing) + QStringLiteral(":1"));
    book.setText(QStringLiteral("K7"), listText(schemes, s.discretization));
    if (isEarlyExercise(run.exercise))
        book.setText(QStringLiteral("K8"), listText(solvers, s.amerSolver));
    if (asian)
        book.setText(QStringLiteral("K9"), listText(planes, s.planesInterp));
    book.setText(QStringLiteral("K10"), yesNo(s.multiThreaded));
    book.setText(QStringLiteral("K12"), run.timeText);
    if (!processor.isEmpty())
        book.setText(QStringLiteral("K13"), processor);
    book.setFontColor(QStringLiteral("K2:K14"), kValueBlue);
    markMissing(book, QStringLiteral("K"), 2, 10);
}

}  // namespace

WorkbookWriter resultsWorkbook(const RunSnapshot& run, const ResultRows& store,
                               const QString& processor)
{
    WorkbookWriter book;
    productBlock(book, run);
    book.setBold(QStringLiteral("J1:J16"));
    if (run.solver == kSolverMc)
        monteCarloBlock(book, run, processor);
    else
        finiteDifferenceBlock(book, run, processor);
    book.setColumnLeftAligned(QStringLiteral("K"));

    // The results: a header row, then rows 0 to the last of the run.
    book.setBold(QStringLiteral("A1:F1"));
    book.setTexts(QStringLiteral("A1"), {run.solver == kSolverMc ? QStringLiteral("Number of paths")
                                                                 : QStringLiteral("Asset")});
    const char* const headers[] = {"Value", "Delta", "Gamma", "Theta", "Vega"};
    for (int c = 0; c < 5; ++c)
        book.setText(QString(QChar('B' + c)) + QStringLiteral("1"), QString::fromLatin1(headers[c]));
    const int rows = run.lastIndex + 1;
    if (rows < 1 || static_cast<size_t>(rows) > store.size())
        RaiseError(kErrSubscript, QStringLiteral("Subscript out of range"));
    book.setNumberBlock(QStringLiteral("A2"), rows, 6, [&store](int r, int c) {
        return store[static_cast<size_t>(r)][static_cast<size_t>(c)];
    });
    // A sensitivity the run did not compute has no figures: its zeros in
    // the store are no values.
    for (int c = 2; c < 6; ++c) {
        if (computedColumn(run, c))
            continue;
        const QString column(QChar('A' + c));
        for (int r = 0; r < rows; ++r)
            book.setText(column + QString::number(r + 2), QStringLiteral("N/A"));
        book.setFontColor(column + QStringLiteral("2:") + column + QString::number(rows + 1),
                          kMissingRed);
    }
    return book;
}

QString exportSavedMessage(const QString& path)
{
    return QStringLiteral("Results saved succesfully in ") + path;
}

}  // namespace tarvic
