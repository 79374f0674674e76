#include "pricer/solver_dialogs.h"

#include "pricer/frm_options.h"
#include "settings/frmResol.h"
#include "settings/frmResolMC.h"
#include "settings/settings_dialogs.h"
#include "shared/solver_mode.h"

void showSettingsDialogModal(int solver, frmOptions& served)
{
    if (solver == tarvic::kSolverPde)
        gFrmResol(&served).showModalFor(&served);
    else
        gFrmResolMC(&served).showModalFor(&served);
}
