#include "pricer/solver_dialogs.h"

#include "frame/app_windows.h"
#include "pricer/frm_options.h"
#include "settings/frmResol.h"
#include "settings/frmResolMC.h"
#include "settings/settings_dialogs.h"
#include "shared/solver_mode.h"

bool pdeSettingsDialogExists()
{
    return frmResolIfLoaded() != nullptr;
}

bool mcSettingsDialogExists()
{
    return frmResolMCIfLoaded() != nullptr;
}

void showSettingsDialogModal(int solverMode, frmOptions& /*window*/)
{
    // Each dialog serves the pricer window of its own solver.
    if (solverMode == tarvic::kSolverPde) {
        frmOptions& pde = gFrmPDE();
        gFrmResol(&pde).showModalFor(&pde);
    } else {
        frmOptions& mc = gFrmMC();
        gFrmResolMC(&mc).showModalFor(&mc);
    }
}
