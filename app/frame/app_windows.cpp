#include "frame/app_windows.h"

#include "frame/mdi_dorn.h"
#include "platform/runtime_error.h"
#include "pricer/frm_options.h"

namespace {
MDIDorn*& dornSlot()
{
    static MDIDorn* dorn = nullptr;
    return dorn;
}

frmOptions& loaded(frmOptions* window)
{
    if (!window)
        tarvic::RaiseError(91, QStringLiteral("Object variable or With block variable not set"));
    window->Load();
    return *window;
}
}  // namespace

void registerMainDorn(MDIDorn* dorn)
{
    dornSlot() = dorn;
}

MDIDorn* mainDorn()
{
    return dornSlot();
}

frmOptions& gFrmPDE()
{
    return loaded(mainDorn() ? mainDorn()->pricerPde() : nullptr);
}

frmOptions& gFrmMC()
{
    return loaded(mainDorn() ? mainDorn()->pricerMc() : nullptr);
}
