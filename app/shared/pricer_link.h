#pragma once

#include <QString>

#include "shared/product_inputs.h"

namespace tarvic {

// What a settings dialog reads from the pricer window it serves: the text of
// its exercise-style list, the list index of its payoff list, and its own
// contract flags. The pricer window implements it; tests use a plain stub.
// A dialog keeps a pointer to the window it serves; when the window goes
// away, its destructor tells every dialog to forget it.
class PricerLink {
public:
    PricerLink() = default;
    PricerLink(const PricerLink&) = delete;
    PricerLink& operator=(const PricerLink&) = delete;
    virtual ~PricerLink();

    virtual QString exerciseText() const = 0;  // "European", "American", "Bermudan"
    virtual int payoffIndex() const = 0;       // 0 to 8; 7 and 8 are the Asian payoffs
    virtual ProductInputs& productInputs() = 0;
};

// Listeners told when a PricerLink is destroyed (the settings dialogs).
using PricerLinkGoneListener = void (*)(PricerLink* gone);
void addPricerLinkGoneListener(PricerLinkGoneListener listener);

}  // namespace tarvic
