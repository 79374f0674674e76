#pragma once

// The time levels of a solve: the step counter, the step size and the
// scheme of each step. A Rannacher start takes four implicit quarter steps
// for the first full step and then goes on as Crank–Nicolson; periodic
// contracts start so again after every period end; American solves that ask
// for it take their last full step as four implicit quarter steps too.
// Quarter steps count one each and are paid back by taking 3 off the
// counter when they end. The stepper asks the clock, at the marked points
// of each step, whether the coefficients change; everything else it does
// between those points is its own.

#include <cstdint>

namespace tarvic {

class StepClock {
public:
    enum Scheme : int32_t { Implicit = 0, CrankNicolson = 1, Rannacher = 2 };

    StepClock(int32_t timeSteps, int32_t stepsPerPeriod, int32_t scheme, int32_t assetSteps,
              double dt, bool periodic, bool finalQuarter)
        : timeSteps_(timeSteps),
          stepsPerPeriod_(stepsPerPeriod),
          scheme_(scheme),
          assetSteps_(assetSteps),
          periodic_(periodic),
          finalQuarter_(finalQuarter),
          dt_(dt)
    {
        if (scheme == Rannacher) {
            tolerance_ = rannacherTolerance();
            dt_ /= 4.0;
            quarter_ = true;
        } else {
            tolerance_ = assetSteps > 1000 ? 7.000000000000001e-12 : 7e-11;
        }
    }

    // Coefficient mode of the first steps: 0 implicit, 1 Crank–Nicolson.
    int32_t startMode() const { return quarter_ || scheme_ == Implicit ? 0 : 1; }

    bool running() const { return step_ <= timeSteps_; }
    void next() { ++step_; }

    // Top of a step: four quarter steps made one full step, the scheme goes
    // on as Crank–Nicolson (true: coefficients of mode 1 from now on). Once
    // the final quarter steps have begun they run to expiry.
    bool endQuarterStart()
    {
        if (!quarter_ || finalQuarterBegun_)
            return false;
        const bool periodRestart =
            periodic_ && ((step_ % stepsPerPeriod_ == 5 && step_ < timeSteps_) ||
                          (stepsPerPeriod_ == 5 && step_ % 5 == 0));
        if (step_ != 5 && !periodRestart)
            return false;
        tolerance_ = rannacherTolerance();
        dt_ *= 4.0;
        step_ -= 3;
        quarter_ = false;
        return true;
    }

    // The time to go at the new level.
    void advance() { tau_ += dt_; }

    bool implicitStep() const { return scheme_ == Implicit || quarter_; }
    bool lastStep() const { return step_ == timeSteps_; }
    bool periodEnd() const
    {
        return periodic_ && step_ % stepsPerPeriod_ == 0 && step_ < timeSteps_;
    }

    // At a period end: a Rannacher solve starts again with quarter steps
    // (true: coefficients of mode 0 from now on).
    bool restartQuarterSteps()
    {
        if (scheme_ != Rannacher)
            return false;
        tolerance_ = rannacherTolerance();
        dt_ /= 4.0;
        quarter_ = true;
        return true;
    }

    // Whether beginFinalQuarterSteps would begin them at the end of this step.
    bool finalQuarterStepsDue() const
    {
        return finalQuarter_ && step_ == timeSteps_ - 1 && !quarter_ && step_ > 4;
    }

    // End of a step: the last full step as four implicit quarter steps
    // (true: coefficients of mode 0 from now on).
    bool beginFinalQuarterSteps()
    {
        if (!finalQuarterStepsDue())
            return false;
        dt_ /= 4.0;
        step_ -= 3;
        quarter_ = true;
        finalQuarterBegun_ = true;
        return true;
    }

    int32_t step() const { return step_; }
    double dt() const { return dt_; }
    double tau() const { return tau_; }
    // The tolerance of the projected SOR error measure.
    double tolerance() const { return tolerance_; }

private:
    double rannacherTolerance() const { return assetSteps_ > 1000 ? 1e-12 : 1e-11; }

    int32_t timeSteps_;
    int32_t stepsPerPeriod_;
    int32_t scheme_;
    int32_t assetSteps_;
    bool periodic_;
    bool finalQuarter_;
    double dt_;
    double tau_ = 0.0;
    double tolerance_;
    int32_t step_ = 1;
    bool quarter_ = false;
    bool finalQuarterBegun_ = false;
};

}  // namespace tarvic
