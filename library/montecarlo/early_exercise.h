#pragma once

// Pieces shared by the early-exercise (Longstaff-Schwartz) engines, whatever
// the path they simulate: the exercise rule, the even chunks of a batch of
// paths, the discount factors of the exercise steps, the five sums of the
// estimators, the running rows, the block layouts, the memory estimate and
// the final check of the rows.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "montecarlo/estimate_series.h"
#include "montecarlo/european_path.h"

namespace tarvic {

// One vector of regression coefficients per exercise step 0 .. numSteps-1;
// an empty entry means no exercise at that step. Empty as a whole on entry
// to an engine: the engine fits the rule; filled: the engine applies it.
using ExerciseRule = std::vector<std::vector<double>>;

constexpr const char* kNonFiniteResultText =
    "The simulation gave a result that is not a finite number: check the market data, the barriers "
    "and the number of time steps.";

// The paths of a batch cut into `chunks` chunks of an even number of paths
// (so antithetic pairs never cross a chunk end); the last chunk takes the
// rest, which may be odd: its last path is then a plain path.
struct ChunkLayout {
    size_t paths = 0;
    size_t chunks = 0;
    size_t chunkSize = 0;

    size_t begin(size_t t) const { return t * chunkSize; }
    size_t end(size_t t) const { return t + 1 == chunks ? paths : (t + 1) * chunkSize; }
};

ChunkLayout evenChunks(size_t paths, size_t chunks);

// exp(-(k r) dt) for k = 0 .. steps: the discount of a cash flow at step k.
std::vector<double> stepDiscounts(double rate, double dt, int32_t steps);

// The five sums of the estimators: discounted cash flow, and its products
// with the delta, gamma, vega and theta weights.
struct EstimatorSums {
    double s[EstimateSeries::kCount] = {0.0, 0.0, 0.0, 0.0, 0.0};

    void add(const PathOutcome& o)
    {
        s[0] += o.value;
        s[1] += o.delta;
        s[2] += o.gamma;
        s[3] += o.vega;
        s[4] += o.theta;
    }
    void add(const EstimatorSums& o)
    {
        for (size_t k = 0; k < EstimateSeries::kCount; ++k)
            s[k] += o.s[k];
    }
};

// Running estimates: row i of the series is the mean over the paths of
// blocks 0 .. i. blockPaths[i] is the number of paths summed in block i; a
// block marked without a row (hasRow false) adds to the sums and to the
// path count but writes nothing. Vega is divided by 100, theta by numSteps
// and by -365. With greeks clear only the value series is filled.
void writeRunningRows(EstimateSeries& result, const std::vector<EstimatorSums>& blockSums,
                      const std::vector<size_t>& blockPaths, const std::vector<bool>& hasRow, bool greeks,
                      int32_t numSteps);

// Fails with kNonFiniteResultText when any entry of any series is not finite.
void requireFiniteSeries(const EstimateSeries& result);

// How the pseudo-random engine cuts its paths into blocks (one row each).
// nLS = max(regressionPathCount, 1000) regression paths, total =
// max(pathCount, nLS) paths; blockSize = max(100, total / numCheckpoints),
// nBlocks = total / blockSize. With in-sample rows (inSample) the
// regression paths give the first trunc(nLS nBlocks / total) rows (all rows
// when total = nLS), a partial last block of them is summed without a row
// and the first block of fresh paths is shortened to top it up; without
// (a knock-in, whose rule is fitted on barrier-free paths) the regression
// paths serve the fit only and every row comes from fresh paths.
struct PseudoRandomExerciseLayout {
    size_t regressionPaths = 0;
    size_t totalPaths = 0;
    size_t blockSize = 0;
    size_t inSampleBlocks = 0;
    size_t inSampleRemainder = 0;
    std::vector<size_t> pricingBlockPaths;

    size_t rows() const { return inSampleBlocks + pricingBlockPaths.size(); }
};

// Fails with a message naming the argument for numCheckpoints below 1 and
// for path counts above 2^31 - 1.
PseudoRandomExerciseLayout pseudoRandomExerciseLayout(int64_t pathCount, int64_t regressionPathCount,
                                                      int32_t numCheckpoints, bool inSample);

// How the Sobol engine cuts its points into blocks (one row each): m =
// max(numLSPaths, 10), k = max(numPaths, m), P = 2^k points, L = 2^m
// regression points. Without pricing points (k = m, in-sample) the blocks
// hold min(L / 8, 1024) points and every row is in-sample; otherwise the N =
// P - L pricing points (all P without in-sample rows) form blocks of
// min(N / 8, 1024) points, and the L / blockSize regression blocks come
// first. The fit uses the first L / blockSize blocks; row r is Sobol block r.
struct SobolExerciseLayout {
    uint32_t points = 0;
    uint32_t regressionPoints = 0;
    uint32_t blockSize = 0;
    size_t fitBlocks = 0;
    size_t regressionBlocks = 0;  // in-sample rows
    size_t pricingBlocks = 0;

    size_t rows() const { return regressionBlocks + pricingBlocks; }
};

// Fails with a message naming the argument for exponents above 30.
SobolExerciseLayout sobolExerciseLayout(int32_t numPaths, int32_t numLSPaths, bool inSample);

// The sizes of a path model that the memory of its run depends on.
struct ExerciseModelSizes {
    int32_t steps = 1;            // path steps, exercise dates and rule entries
    int32_t uniformsPerStep = 0;  // crossing draws per step
    int32_t stateSize = 1;        // doubles of a stored path state
    int32_t basisCount = 1;       // basis functions: coefficients per rule entry
    int32_t basisDims = 1;        // coordinates of a regression point
};

// Bytes of an exercise rule: one entry per step, each holding basisCount
// coefficients (counted for every step, as a filled rule may hold them).
double exerciseRuleBytes(const ExerciseModelSizes& sizes);

// Bytes of the buffers of one slot or thread (ExerciseScratch): the normals,
// the crossing draws, the bridge path, a state, a point and its basis values.
double exerciseScratchBytes(const ExerciseModelSizes& sizes);

// Bytes a backward fit holds for `paths` regression paths (fit: the
// regression paths' model): the stored states (stateSize doubles per path
// and step) and live ranges; the cash flow and its step per path; the
// in-the-money paths of a step (index, exercise value, basis values,
// response, deviation), counted for every path; and the decomposition's
// copy of the design with its right-hand side, column by column.
double fitMemoryBytes(size_t paths, const ExerciseModelSizes& fit);

// Everything the pseudo-random engine holds at once, counted before
// anything is allocated: the rule, the discounts, the generators and the
// slots' buffers, the block sums and the rows and, when fitting, the fit of
// the regression paths (fitMemoryBytes).
double pseudoRandomExerciseBytes(const PseudoRandomExerciseLayout& layout, size_t slots,
                                 const ExerciseModelSizes& price, const ExerciseModelSizes& fit, bool fitting,
                                 bool inSample);

// Everything the Sobol engine holds at once, counted before anything is
// allocated: the rule, the discounts, the bridge tables, the master
// generator's direction numbers while it reads them, the block starts and
// direction numbers of the run, every thread's generator, block of points
// and buffers, the block sums and the rows and, when fitting, the fit of the
// regression blocks (fitMemoryBytes).
double sobolExerciseBytes(const SobolExerciseLayout& layout, size_t threads, const ExerciseModelSizes& price,
                          const ExerciseModelSizes& fit, bool fitting);

}  // namespace tarvic
