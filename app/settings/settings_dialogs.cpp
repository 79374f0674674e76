#include "settings/settings_dialogs.h"

#include "settings/frmResol.h"
#include "settings/frmResolMC.h"
#include "shared/mc_settings.h"
#include "shared/pde_settings.h"

namespace {
frmResol* g_resol = nullptr;
frmResolMC* g_resolMC = nullptr;
}  // namespace

frmResol& gFrmResol(tarvic::PricerLink* served)
{
    if (!g_resol)
        g_resol = new frmResol(served);
    else if (served)
        g_resol->setServedWindow(served);
    return *g_resol;
}

frmResolMC& gFrmResolMC(tarvic::PricerLink* served)
{
    if (!g_resolMC)
        g_resolMC = new frmResolMC(served);
    else if (served)
        g_resolMC->setServedWindow(served);
    return *g_resolMC;
}

frmResol* frmResolIfLoaded()
{
    return g_resol;
}

frmResolMC* frmResolMCIfLoaded()
{
    return g_resolMC;
}

void applyPricerLoadDefaults(int32_t solverMode)
{
    using tarvic::gMcSettings;
    using tarvic::gPdeSettings;
    if (!g_resol) {
        gPdeSettings.gDiscretization = 2;
        gPdeSettings.gAmerSolver = 2;
        gPdeSettings.gNonUniGrid = true;
    }
    if (solverMode == 1) {
        gPdeSettings.gPlanesInterp = -1;
        gPdeSettings.gDefaultPlanesInterp = 2;
        gPdeSettings.gPlaneSpacing = 4;
    } else if (solverMode == 2) {
        if (!g_resolMC)
            gMcSettings.gSobol = true;
        gMcSettings.gFewBlocks = true;
    }
}

void destroySettingsDialogs()
{
    for (tarvic::SettingsDialog* d : {static_cast<tarvic::SettingsDialog*>(g_resol),
                                      static_cast<tarvic::SettingsDialog*>(g_resolMC)}) {
        if (d) {
            d->allowCloseForProgramEnd();
            delete d;
        }
    }
    g_resol = nullptr;
    g_resolMC = nullptr;
}
