#pragma once

// The path model of vanilla and barrier options with early exercise, for
// the early-exercise engines (early_exercise_engine.h): the European path's
// steps, likelihood-ratio scores and crossing probabilities, with the touch
// of a continuously monitored barrier decided by uniform draws (one per
// barrier and step), and the dates at which the path may be exercised.
//
// A knock-out may be exercised at the dates before its first touch (a step
// point beyond a barrier, a crossing drawn within a step, or a certain
// touch); a knock-in from the date at which it knocked in. The state kept
// for the regression is the asset value; its coordinate is S / K.
//
// Sensitivities: the weights are the European path's. With sampled
// crossings a knock-out carries the log-derivatives of its no-touch factors
// (the scores of having survived each draw); a knock-in's payoff is
// weighted by the derivatives of 1 - W as in the European engine, since the
// expectation of the drawn knock-in over the draws is 1 - W.

#include <cstdint>

#include "montecarlo/european_path.h"
#include "montecarlo/svd.h"

namespace tarvic {

class BarrierExerciseModel {
public:
    BarrierExerciseModel(const EuropeanContract& contract, const BasisFunctions& basis)
        : run_(withTouchRecords(contract)), basis_(basis)
    {
        barriers_ = run_.hasLower && run_.hasUpper ? 2 : (run_.hasBarrier ? 1 : 0);
    }

    int32_t steps() const { return run_.steps; }
    // Crossing draws per step, whatever happens to the path: one per
    // continuously monitored barrier.
    int32_t uniformsPerStep() const { return run_.continuous ? barriers_ : 0; }
    int32_t stateSize() const { return 1; }
    bool greeks() const { return run_.greeks; }
    // A continuously monitored knock-in's weights need the no-touch factors
    // of the whole path, also after an exercise.
    bool needsWholePath() const { return run_.greeks && run_.continuous && !run_.knockOut; }
    // An exercised path's vega weight stops at its exercise.
    bool wholePathVega() const { return false; }
    const BasisFunctions& basis() const { return basis_; }
    double scale() const { return run_.strike; }
    double rate() const { return run_.rate; }
    double dt() const { return run_.dt; }
    const EuropeanRun& run() const { return run_; }

    double exerciseValue(const double* state) const { return vanillaPayoff(run_, state[0]); }
    void coordinates(const double* state, double* x) const { x[0] = state[0] / run_.strike; }

    class Path {
    public:
        explicit Path(const BarrierExerciseModel& model) : run_(model.run_), twoBarriers_(model.barriers_ == 2), path_(run_) {}

        void start()
        {
            path_.start();
            crossed_ = false;
        }

        // False once a knock-out is dead: nothing about the path changes any more.
        bool stepping() const { return !(run_.hasBarrier && run_.knockOut && (crossed_ || !path_.alive())); }

        // Step j (0-based) with the normal z and the step's crossing uniforms u.
        void step(int32_t j, double z, const double* u)
        {
            path_.step(j, z);
            if (run_.continuous && !crossed_ && !path_.touched())
                crossed_ = u[0] < path_.stepTouch(0) || (twoBarriers_ && u[1] < path_.stepTouch(1));
        }

        // May the option be exercised (or paid) at the date just reached?
        bool live() const
        {
            if (!run_.hasBarrier)
                return true;
            if (run_.knockOut)
                return path_.alive() && !crossed_;
            return path_.knockedIn() || path_.touched() || crossed_;
        }

        void state(double* out) const { out[0] = path_.asset(); }
        PathWeights scores() const { return path_.scores(); }
        PathWeights weights(bool& corrected) const { return path_.weights(corrected); }

    private:
        const EuropeanRun& run_;
        bool twoBarriers_;
        EuropeanPath path_;
        bool crossed_ = false;
    };

private:
    static EuropeanRun withTouchRecords(const EuropeanContract& contract)
    {
        EuropeanRun run(contract);
        run.recordsTouch = true;
        return run;
    }

    EuropeanRun run_;
    const BasisFunctions& basis_;
    int32_t barriers_ = 0;
};

}  // namespace tarvic
