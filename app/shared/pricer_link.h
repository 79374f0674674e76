#pragma once

#include <QString>

#include "shared/product_inputs.h"

namespace tarvic {

// What a settings dialog reads from the pricer window it serves: the text of
// its exercise-style list, the list index of its payoff list, and its own
// contract flags. The pricer window implements it; tests use a plain stub.
class PricerLink {
public:
    virtual ~PricerLink() = default;
    virtual QString exerciseText() const = 0;  // "European", "American", "Bermudan"
    virtual int payoffIndex() const = 0;       // 0 to 8; 7 and 8 are the Asian payoffs
    virtual ProductInputs& productInputs() = 0;
};

}  // namespace tarvic
