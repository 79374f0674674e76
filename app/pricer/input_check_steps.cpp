#include "pricer/input_check_steps.h"

#include "platform/number_rules.h"

#include <utility>

namespace tarvic {

void readContractBoxes(const ContractForm& form, ProductInputs& in)
{
    in.gAsset = Val(form.asset);
    in.gStrike = Val(form.strike);
    in.gVol = Val(form.volatility) / 100.0;
    in.gIntRate = Val(form.interestRate) / 100.0;
    in.gDiv = Val(form.dividend) / 100.0;
    in.gExpiry = Val(form.expiry);
    in.gSmplPoints = wholeNumber32(Val(form.fixings));
    in.gInitAvg = Val(form.settledAverage);
    in.gSmplStart = Val(form.firstFixing);
    in.gNFixed = wholeNumber32(Val(form.settledFixings));
    in.gUpBar = form.upBarrierShown ? Val(form.upBarrier) : 0.0;
    in.gDownBar = form.downBarrierShown ? Val(form.downBarrier) : 0.0;
}

bool CheckTrail::stop(CheckRefusal r)
{
    refusal = std::move(r);
    return false;
}

bool CheckTrail::refuse(const QString& text, const QString& title, FormBox focus, bool clear)
{
    CheckRefusal r;
    r.message = {text, title};
    r.focus = focus;
    r.clear = clear;
    return stop(std::move(r));
}

bool CheckTrail::resetAndStop(const QString& text, const QString& title, FormBox box,
                              const QString& value, bool caretAtEnd)
{
    CheckRefusal r;
    r.message = {text, title};
    r.focus = box;
    r.reset = value;
    r.caretAtEnd = caretAtEnd;
    return stop(std::move(r));
}

void CheckTrail::warn(const QString& text, const QString& title, std::vector<BoxWrite> writes)
{
    CheckStep step;
    step.message = CheckMessage{text, title};
    step.writes = std::move(writes);
    steps.push_back(std::move(step));
}

void CheckTrail::showZeroRates(const ProductInputs& read)
{
    CheckStep zeros;
    if (read.gIntRate == 0.0)
        zeros.writes.push_back({FormBox::InterestRate, QStringLiteral("0")});
    if (read.gDiv == 0.0)
        zeros.writes.push_back({FormBox::Dividend, QStringLiteral("0")});
    if (!zeros.writes.empty())
        steps.push_back(std::move(zeros));
}

}  // namespace tarvic
