#include "settings/settings_dialogs.h"

#include <QPointer>

#include "settings/frmResol.h"
#include "settings/frmResolMC.h"
#include "shared/mc_settings.h"
#include "shared/pde_settings.h"
#include "platform/window_placement.h"

namespace {
// Owned by the main window when there is one (so they stay over it and end
// with it); the guarded pointers clear themselves then.
QPointer<frmResol> g_resol;
QPointer<frmResolMC> g_resolMC;
}  // namespace

frmResol& gFrmResol(tarvic::PricerLink* served)
{
    if (!g_resol)
        g_resol = new frmResol(served, tarvic::mainWindowWidget());
    else if (served)
        g_resol->setServedWindow(served);
    return *g_resol;
}

frmResolMC& gFrmResolMC(tarvic::PricerLink* served)
{
    if (!g_resolMC)
        g_resolMC = new frmResolMC(served, tarvic::mainWindowWidget());
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
    for (tarvic::SettingsDialog* d : {static_cast<tarvic::SettingsDialog*>(g_resol.data()),
                                      static_cast<tarvic::SettingsDialog*>(g_resolMC.data())}) {
        if (d) {
            d->allowCloseForProgramEnd();
            delete d;
        }
    }
    g_resol = nullptr;
    g_resolMC = nullptr;
}
