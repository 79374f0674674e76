#include "shared/mc_settings.h"
#include "shared/pde_settings.h"
#include "shared/solver_mode.h"

namespace tarvic {

PdeSettings gPdeSettings;
McSettings gMcSettings;
int32_t gSolverMode = 0;

}  // namespace tarvic
