#include "shared/mc_settings.h"
#include "shared/pde_settings.h"
#include "shared/pricer_link.h"
#include "shared/solver_mode.h"

#include <vector>

namespace tarvic {

PdeSettings gPdeSettings;
McSettings gMcSettings;
int32_t gSolverMode = 0;

namespace {
std::vector<PricerLinkGoneListener>& goneListeners()
{
    static std::vector<PricerLinkGoneListener> listeners;
    return listeners;
}
}  // namespace

void addPricerLinkGoneListener(PricerLinkGoneListener listener)
{
    for (PricerLinkGoneListener l : goneListeners())
        if (l == listener)
            return;
    goneListeners().push_back(listener);
}

PricerLink::~PricerLink()
{
    for (PricerLinkGoneListener l : goneListeners())
        l(this);
}

}  // namespace tarvic
