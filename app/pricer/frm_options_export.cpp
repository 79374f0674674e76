// File > Export: the pricer window's last run written to a workbook under a
// name the user chooses.
#include "pricer/frm_options.h"

#include "platform/message_box.h"
#include "platform/processor_info.h"
#include "platform/runtime_error.h"
#include "platform/save_dialog.h"
#include "platform/workbook_writer.h"
#include "pricer/results_export.h"

using namespace tarvic;

namespace {

// The processor as far as it can be read; an export never stops for it.
QString processorDescription()
{
    try {
        return GetProcessorDescription();
    } catch (...) {
        return QString();
    }
}

}  // namespace

void frmOptions::mnuExcel_Click()
{
    const auto exportRun = [this] {
        // The run on show, with the contract, settings and time it had;
        // nothing typed or set since.
        const RunSnapshot& run = m_lastRun;
        if (run.solver == 0 || runInProgress())
            return;
        const QString path = AskSaveResultsPath(this);
        if (path.isEmpty())
            return;  // cancelled
        const WorkbookWriter book = resultsWorkbook(run, mSolution, processorDescription());
        // The dialog has asked before naming an existing file, a read-only
        // one too.
        book.saveAs(path, WorkbookWriter::ReadOnlyFile::Replace);
        MsgBox(exportSavedMessage(path), MsgIcon::Information, MsgButtons::OKOnly, QString(), this);
    };
    // A workbook that cannot be written says why, in its own box; any other
    // failure goes to the error reporter.
    RunTrapped(exportRun, [this] {
        if (Err().Number == kErrWorkbook)
            MsgBox(Err().Description, MsgIcon::Exclamation, MsgButtons::OKOnly,
                   QStringLiteral("Error while exporting to file"), this);
        else
            ReportError(QStringLiteral("exporting to file."));
    });
}
