#include "pricer/error_reporter.h"

#include "platform/message_box.h"
#include "platform/runtime_error.h"
#include "shared/solver_mode.h"

namespace tarvic {

bool isSilentError(const ErrObject& error)
{
    return error.Description.left(16) == QLatin1String("Automation error");
}

QString errorReportText(const ErrObject& error, const QString& phrase)
{
    return QStringLiteral("Error ") + QString::number(error.Number) + QStringLiteral("(") +
           error.Description + QStringLiteral(") occurred while ") + phrase;
}

QString errorReportTitle(int solverMode)
{
    return solverMode == kSolverPde ? QStringLiteral("PDE Solver - ERROR")
                                    : QStringLiteral("Monte Carlo Solver - ERROR");
}

void reportPendingError(const QString& phrase, QWidget* parent)
{
    reportPendingError(phrase, parent, gSolverMode);
}

void reportPendingError(const QString& phrase, QWidget* parent, int solverMode)
{
    const ErrObject& error = Err();
    if (isSilentError(error))
        return;
    MsgBox(errorReportText(error, phrase), MsgIcon::Exclamation, MsgButtons::OKOnly,
           errorReportTitle(solverMode), parent);
}

}  // namespace tarvic
