// The workbook of File > Export, as a pure function of a window's last
// run: the product description (what was typed for the run, columns H and
// I), the solver configuration (the settings the run used, its time and
// the processor, columns J and K) and the results (columns A to F, one row
// per result row under the headers).
//
// Looks: labels and headers bold, values blue, a value the contract or the
// solver does not have "N/A" in red (I2:I13, and K2:K11 for Monte Carlo or
// K2:K10 for finite differences), columns I and K left-aligned. A value
// typed as a plain number is written as that number. A sensitivity the run
// did not compute says "N/A" in red in each of its result rows.
#pragma once

#include "platform/workbook_writer.h"
#include "pricer/run_snapshot.h"

#include <QString>

#include <array>
#include <vector>

namespace tarvic {

// Result rows 0 to run.lastIndex of the store (asset or paths, value,
// delta, gamma, theta, vega; the seventh column is not written).
using ResultRows = std::vector<std::array<double, 7>>;

WorkbookWriter resultsWorkbook(const RunSnapshot& run, const ResultRows& store,
                               const QString& processor);

// The success message of an export.
QString exportSavedMessage(const QString& path);

}  // namespace tarvic
