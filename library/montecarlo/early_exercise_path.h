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

// Kind chooses the path code (european_path.h); the engines instantiate
// the model with the run's FixedPathKind.
template <class Kind = RunPathKind>
class BarrierExerciseModelOf {
public:
    BarrierExerciseModelOf(const EuropeanContract& contract, const BasisFunctions& basis)
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
        explicit Path(const BarrierExerciseModelOf& model) : path_(model.run_), twoBarriers_(model.barriers_ == 2)
        {
        }

        void start()
        {
            path_.start(st_);
            crossed_ = false;
        }

        // False once a knock-out is dead: nothing about the path changes any more.
        bool stepping() const
        {
            return !(Kind::hasBarrier(run()) && run().knockOut && (crossed_ || !st_.alive));
        }

        // Step j (0-based) with the normal z and the step's crossing uniforms u.
        void step(int32_t j, double z, const double* u)
        {
            path_.step(st_, j, z);
            if (Kind::continuous(run()) && !crossed_ && !st_.touched)
                crossed_ = u[0] < st_.stepTouch[0] || (twoBarriers_ && u[1] < st_.stepTouch[1]);
        }

        // May the option be exercised (or paid) at the date just reached?
        bool live() const
        {
            if (!Kind::hasBarrier(run()))
                return true;
            if (run().knockOut)
                return st_.alive && !crossed_;
            return st_.knockedIn || st_.touched || crossed_;
        }

        void state(double* out) const { out[0] = path_.asset(st_); }
        PathWeights scores() const { return EuropeanPath<Kind>::scores(st_); }
        PathWeights weights(bool& corrected) const { return path_.weights(st_, corrected); }

    private:
        const EuropeanRun& run() const { return path_.run(); }

        const EuropeanPath<Kind> path_;
        bool twoBarriers_;
        EuropeanPathState st_{};
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

using BarrierExerciseModel = BarrierExerciseModelOf<>;

}  // namespace tarvic
