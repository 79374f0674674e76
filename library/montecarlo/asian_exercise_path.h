#pragma once

// The path model of Asian options with early exercise, for the
// early-exercise engines (early_exercise_engine.h): the Asian path's steps
// and scores, one normal per fixing and no other draws, exercisable at
// every fixing before expiry. The state kept for the regression is the
// asset value and the running average; its coordinates are both in units
// of the strike, or of the spot with a floating strike.
//
// Sensitivities: the weights of the Asian path. An exercised path keeps the
// vega score of all its fixings and the theta score up to its exercise.

#include <cstdint>

#include "montecarlo/asian_path.h"
#include "montecarlo/european_path.h"
#include "montecarlo/svd.h"

namespace tarvic {

template <class Kind = RunPathKind>
class AsianExerciseModelOf {
public:
    AsianExerciseModelOf(const AsianContract& contract, const BasisFunctions& basis)
        : run_(contract), basis_(basis), scale_(run_.floating ? contract.spot : contract.strike)
    {
    }

    int32_t steps() const { return run_.steps; }
    int32_t uniformsPerStep() const { return 0; }
    int32_t stateSize() const { return 2; }
    bool greeks() const { return run_.path.greeks; }
    bool needsWholePath() const { return false; }
    bool wholePathVega() const { return true; }
    const BasisFunctions& basis() const { return basis_; }
    double scale() const { return scale_; }
    double rate() const { return run_.path.rate; }
    double dt() const { return run_.path.dt; }
    const AsianRun& run() const { return run_; }

    double exerciseValue(const double* state) const { return asianPayoff(run_, state[0], state[1]); }
    void coordinates(const double* state, double* x) const
    {
        x[0] = state[0] / scale_;
        x[1] = state[1] / scale_;
    }

    class Path {
    public:
        explicit Path(const AsianExerciseModelOf& model) : run_(model.run_), path_(run_) {}

        void start()
        {
            path_.start(st_);
            fixing_ = 0;
        }
        bool stepping() const { return true; }
        void step(int32_t j, double z, const double*)
        {
            path_.step(st_, j, z);
            fixing_ = j + 1;
        }
        bool live() const { return true; }
        void state(double* out) const
        {
            out[0] = path_.asset(st_);
            out[1] = runningAverage(run_, AsianPath<Kind>::sum(st_), fixing_);
        }
        PathWeights scores() const { return AsianPath<Kind>::scores(st_); }
        PathWeights weights(bool& corrected) const
        {
            corrected = false;
            return AsianPath<Kind>::scores(st_);
        }

    private:
        const AsianRun& run_;
        const AsianPath<Kind> path_;
        typename AsianPath<Kind>::State st_{};
        int32_t fixing_ = 0;
    };

private:
    AsianRun run_;
    const BasisFunctions& basis_;
    double scale_;
};

using AsianExerciseModel = AsianExerciseModelOf<>;

}  // namespace tarvic
