#pragma once

// The Longstaff-Schwartz machinery of the early-exercise engines, for any
// path model (vanilla, barrier and Asian paths).
//
// A model M provides
//   int32_t steps(), uniformsPerStep(), stateSize(); bool greeks(), needsWholePath(), wholePathVega();
//   const BasisFunctions& basis(); double scale() (the regression's unit, the strike);
//   double rate(), dt() (the discounting of a cash flow at step k: exp(-(k rate) dt));
//   double exerciseValue(const double* state); void coordinates(const double* state, double* x);
// and a path class M::Path(const M&) with
//   void start(); bool stepping(); void step(int32_t j, double z, const double* u);
//   bool live(); void state(double* out); PathWeights scores() (as the steps left
//   them); PathWeights weights(bool& corrected) (with any end-of-path correction).
//
// Draws: every path takes a fixed count, steps() normals and uniformsPerStep()
// uniforms at every step, whatever happens to it, so paths of a bumped run
// meet the same numbers as those of the base run (common random numbers).
// An antithetic pair runs its second path on the negated normals with
// uniforms of its own, drawn after the first path's.
//
// Exercise: a path is exercised at the first step 1 .. steps()-1 at which it
// is live, its exercise value is positive and exceeds the continuation value
// scale x sum_i a_i basis_i(coordinates) of that step's rule entry a
// (steps with an empty entry are no exercise dates); otherwise it is held to
// maturity. This forward reading gives the cash flows of the backward walk
// of Longstaff and Schwartz: walking back, each step overrides the later
// ones, so the earliest step that prefers exercise decides.
//
// The fit: a batch of regression paths is simulated and stored (the state at
// every date and the range of dates at which each path is live); walking
// back from steps()-1 to 1, the discounted future cash flows of the
// in-the-money live paths are regressed on the basis (in units of scale(),
// deviations 1, threshold 1e-12 of the largest singular value) when there
// are more than count + 1 of them, and the paths that prefer exercise move
// their cash flow to that step.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "common/parallel_loop.h"
#include "common/require.h"
#include "montecarlo/brownian_bridge.h"
#include "montecarlo/dense_matrix.h"
#include "montecarlo/early_exercise.h"
#include "montecarlo/european_path.h"
#include "montecarlo/random_generator64.h"
#include "montecarlo/sobol_paths.h"
#include "montecarlo/svd.h"
#include "montecarlo/ziggurat_normal.h"

namespace tarvic {

// Buffers of one slot or thread, sized once per run.
struct ExerciseScratch {
    std::vector<double> z, u, state, coords, values, bridgePath;

    template <class Model>
    explicit ExerciseScratch(const Model& model)
        : z(static_cast<size_t>(model.steps())),
          u(static_cast<size_t>(model.steps()) * static_cast<size_t>(model.uniformsPerStep()) + 1),
          state(static_cast<size_t>(model.stateSize())),
          coords(static_cast<size_t>(model.basis().dims)),
          values(static_cast<size_t>(model.basis().count)),
          bridgePath(static_cast<size_t>(model.steps()))
    {
    }
};

// The draws of one path from a generator: for each step its normal, then
// its crossing uniforms.
inline void drawPath(RandomGenerator64& generator, int32_t steps, int32_t uniformsPerStep, double* z, double* u)
{
    for (int32_t j = 0; j < steps; ++j) {
        z[j] = ZigguratNormal(generator);
        for (int32_t i = 0; i < uniformsPerStep; ++i)
            *u++ = generator.uniform();
    }
}

inline void drawUniforms(RandomGenerator64& generator, size_t count, double* u)
{
    for (size_t i = 0; i < count; ++i)
        u[i] = generator.uniform();
}

// Paths [begin, end) of a batch on one generator: plain paths, or antithetic
// pairs (begin, begin+1), ... with a lone last path plain. onPath(p, z, sign,
// u) runs path p on the normals sign x z and the uniforms u.
template <class Model, class OnPath>
void runGeneratorChunk(const Model& model, RandomGenerator64& generator, size_t begin, size_t end, bool antithetic,
                       ExerciseScratch& scratch, OnPath&& onPath)
{
    const int32_t steps = model.steps();
    const int32_t nu = model.uniformsPerStep();
    double* z = scratch.z.data();
    double* u = scratch.u.data();
    size_t p = begin;
    if (antithetic)
        for (; p + 1 < end; p += 2) {
            drawPath(generator, steps, nu, z, u);
            onPath(p, z, 1.0, u);
            drawUniforms(generator, static_cast<size_t>(steps) * static_cast<size_t>(nu), u);
            onPath(p + 1, z, -1.0, u);
        }
    for (; p < end; ++p) {
        drawPath(generator, steps, nu, z, u);
        onPath(p, z, 1.0, u);
    }
}

template <class Model>
double continuationValue(const Model& model, const std::vector<double>& coefficients, const double* state,
                         ExerciseScratch& scratch)
{
    model.coordinates(state, scratch.coords.data());
    model.basis().evaluate(scratch.coords.data(), scratch.values.data());
    double sum = 0.0;
    for (size_t i = 0; i < coefficients.size(); ++i)
        sum += coefficients[i] * scratch.values[i];
    return model.scale() * sum;
}

// One path priced under the rule: its discounted cash flow and, with the
// model's greeks, the products with its weights. A path exercised at step k
// takes the vega and theta scores it had after step k, except that a path
// whose weights were corrected at the end (a continuously monitored
// knock-in) keeps the whole path's weights, and that a model with
// wholePathVega() keeps the vega score of all its steps (the scores of the
// steps after the exercise have mean zero given the path up to it, so
// either vega weight is unbiased; the theta score must stop at the
// exercise, whose discounting it carries).
template <class Model>
PathOutcome priceExercisePath(const Model& model, typename Model::Path& path, const ExerciseRule& rule,
                              const double* discounts, const double* z, double sign, const double* u,
                              ExerciseScratch& scratch)
{
    const int32_t steps = model.steps();
    const size_t nu = static_cast<size_t>(model.uniformsPerStep());
    const bool greeks = model.greeks();
    const bool wholeVega = greeks && model.wholePathVega();
    const bool whole = greeks && (model.needsWholePath() || wholeVega);
    double* state = scratch.state.data();
    path.start();
    bool exercised = false;
    int32_t exerciseStep = steps;
    double cash = 0.0;
    PathWeights atExercise;
    for (int32_t j = 0; j < steps; ++j) {
        if ((exercised && !whole) || !path.stepping())
            break;
        path.step(j, sign * z[j], u + static_cast<size_t>(j) * nu);
        const int32_t date = j + 1;
        if (exercised || date == steps || !path.live())
            continue;
        const std::vector<double>& a = rule[static_cast<size_t>(date)];
        if (a.empty())
            continue;
        path.state(state);
        const double value = model.exerciseValue(state);
        if (value > 0.0 && value > continuationValue(model, a, state, scratch)) {
            exercised = true;
            exerciseStep = date;
            cash = value;
            if (greeks)
                atExercise = path.scores();
        }
    }
    if (!exercised && path.live()) {
        path.state(state);
        cash = model.exerciseValue(state);
    }
    PathOutcome out;
    if (cash <= 0.0)
        return out;
    const double d = cash * discounts[exerciseStep];
    out.value = d;
    if (greeks) {
        bool corrected = false;
        PathWeights w = path.weights(corrected);
        if (exercised && !corrected) {
            if (!wholeVega)
                w.vega = atExercise.vega;
            w.theta = atExercise.theta;
        }
        out.delta = d * w.delta;
        out.gamma = d * w.gamma;
        out.vega = d * w.vega;
        out.theta = d * w.theta;
    }
    return out;
}

// The regression paths of a fit: the state of every path at dates 1 ..
// steps (date by date, so that the walk back reads each date's states in
// one run) and the dates liveFrom[p] .. liveTo[p] at which path p is live
// (liveFrom > liveTo: never).
// The block of stored states is allocated without being cleared: each path
// clears and writes its own entries (storeExercisePath) on the thread that
// simulates it, so the pages are first touched by the threads, not by one.
class StateRows {
public:
    StateRows(size_t rows, size_t cols)
        : cols_(cols), size_(checkedElementCount(rows, cols, sizeof(double), "the stored paths")),
          data_(new double[size_])
    {
    }

    size_t size() const { return size_; }
    double* data() { return data_.get(); }
    const double* data() const { return data_.get(); }
    double* operator[](size_t i) { return data_.get() + i * cols_; }
    const double* operator[](size_t i) const { return data_.get() + i * cols_; }

private:
    size_t cols_;
    size_t size_;
    std::unique_ptr<double[]> data_;
};

struct StoredPaths {
    size_t paths = 0;
    int32_t steps = 0;
    int32_t stateSize = 1;
    StateRows states;  // row date - 1: stateSize doubles per path
    std::vector<int32_t> liveFrom, liveTo;

    StoredPaths(size_t count, int32_t numSteps, int32_t size)
        : paths(count), steps(numSteps), stateSize(size),
          states(static_cast<size_t>(numSteps), count * static_cast<size_t>(size)), liveFrom(count, numSteps + 1),
          liveTo(count, 0)
    {
    }

    double* state(size_t p, int32_t date) { return states[static_cast<size_t>(date - 1)] + p * stateSize; }
    const double* state(size_t p, int32_t date) const
    {
        return states[static_cast<size_t>(date - 1)] + p * stateSize;
    }
    bool live(size_t p, int32_t date) const { return liveFrom[p] <= date && date <= liveTo[p]; }
};

// Simulates path p of a regression batch and stores it.
template <class Model>
void storeExercisePath(const Model& model, typename Model::Path& path, const double* z, double sign,
                       const double* u, StoredPaths& batch, size_t p)
{
    const int32_t steps = model.steps();
    const size_t nu = static_cast<size_t>(model.uniformsPerStep());
    int32_t from = steps + 1, to = 0;
    const size_t size = static_cast<size_t>(batch.stateSize);
    for (int32_t date = 1; date <= steps; ++date) {
        double* entry = batch.state(p, date);
        for (size_t i = 0; i < size; ++i)
            entry[i] = 0.0;
    }
    path.start();
    for (int32_t j = 0; j < steps && path.stepping(); ++j) {
        path.step(j, sign * z[j], u + static_cast<size_t>(j) * nu);
        if (!path.live())
            continue;
        const int32_t date = j + 1;
        if (from > steps)
            from = date;
        to = date;
        path.state(batch.state(p, date));
    }
    batch.liveFrom[p] = from;
    batch.liveTo[p] = to;
}

// The fit in pieces: the stored paths are cut into pieces of
// kFitPiecePaths paths by their index (whatever the threads). At every date
// each piece, on its own thread, first applies the later date's exercise
// decision to its in-the-money paths, then gathers its in-the-money paths of
// the date (basis values, discounted future cash flows, exercise values) and
// reduces its rows of the design to the small triangle of its QR
// decomposition. The triangles are joined in piece order and the
// decomposition of the joined R gives the coefficients: the rule does not
// depend on the number of threads.
constexpr size_t kFitPiecePaths = 1024;

struct FitPiece {
    size_t begin = 0, end = 0;
    size_t rows = 0;                // in-the-money paths of the current date
    std::vector<size_t> inMoney;    // their indices
    std::vector<double> exercise;   // their exercise values
    std::vector<double> values;     // their basis values, count per path
    std::vector<double> block;      // the design rows and responses, column by column; then the triangle
    size_t ld = 0;                  // rows of a column of block
    std::vector<double> largest;    // the largest magnitude of each column
    std::vector<double> coords;     // the coordinates of one point
    bool finite = true;
};

// Copies a piece's rows into its block (scaled by 2^exponents[c] when
// given) and reduces them to their triangle.
inline void reduceFitPiece(FitPiece& piece, size_t count, const std::vector<double>& responses, const int* exponents)
{
    const size_t cols = count + 1;
    const size_t rows = piece.rows;
    const size_t ld = piece.ld;
    double* block = piece.block.data();
    for (size_t c = 0; c < count; ++c) {
        double* column = block + c * ld;
        const double* v = piece.values.data() + c;
        for (size_t i = 0; i < rows; ++i)
            column[i] = v[i * count];
    }
    double* response = block + count * ld;
    for (size_t i = 0; i < rows; ++i)
        response[i] = responses[piece.begin + i];
    const size_t height = rows > cols ? rows : cols;
    for (size_t c = 0; c < cols; ++c) {
        double* column = block + c * ld;
        for (size_t i = rows; i < height; ++i)
            column[i] = 0.0;
        if (exponents)
            scaleByPowerOfTwo(column, rows, exponents[c]);
    }
    reduceToTriangle(block, ld, cols, height);
}

// The decisions of a date whose rule has the given coefficients, on the
// in-the-money rows a piece gathered for it: a path whose exercise value
// beats the rule's estimate of its continuation (in units of scale) takes
// its cash flow at that date.
inline void applyExerciseDecisions(const FitPiece& piece, size_t count, const double* coefficients, double scale,
                                   int32_t date, double* cash, int32_t* cashStep)
{
    for (size_t i = 0; i < piece.rows; ++i) {
        const double* v = piece.values.data() + i * count;
        double sum = 0.0;
        for (size_t c = 0; c < count; ++c)
            sum += coefficients[c] * v[c];
        if (piece.exercise[i] > scale * sum) {
            cash[piece.inMoney[i]] = piece.exercise[i];
            cashStep[piece.inMoney[i]] = date;
        }
    }
}

// The triangles of the pieces of a date joined in piece order into one
// (pieces without rows add nothing; the first with rows is copied).
struct TriangleJoin {
    double* joined = nullptr;
    double* work = nullptr;
    size_t cols = 0;
    bool first = true;
    size_t next = 0;  // the first piece not yet joined
    std::mutex mutex;

    void start()
    {
        first = true;
        next = 0;
    }

    void add(const FitPiece& piece)
    {
        if (piece.rows == 0 || !piece.finite)
            return;
        if (first) {
            for (size_t c = 0; c < cols; ++c)
                for (size_t j = 0; j < cols; ++j)
                    joined[c * cols + j] = j <= c ? piece.block[c * piece.ld + j] : 0.0;
            first = false;
        } else {
            joinTriangles(joined, cols, piece.block.data(), piece.ld, cols, work);
        }
    }

    // Piece q is done: joins it and the done pieces after it, in order,
    // once every piece before it is joined.
    void finish(const std::vector<FitPiece>& pieces, std::vector<char>& finished, size_t q)
    {
        std::lock_guard<std::mutex> lock(mutex);
        finished[q] = 1;
        while (next < pieces.size() && finished[next]) {
            add(pieces[next]);
            ++next;
        }
    }
};

// Fits the rule backwards over the stored batch (the pieces on the threads
// when multiThreaded). Entries of steps with count + 1 or fewer
// in-the-money paths keep what they hold. With pathValues, the discounted
// cash flow of every stored path under the fitted rule (the value
// priceExercisePath gives it: the walk back ends on the earliest date that
// prefers exercise) is written to (*pathValues)[p].
template <class Model>
void fitExerciseRule(const Model& model, const StoredPaths& batch, const double* discounts, ExerciseRule& rule,
                     bool multiThreaded = false, std::vector<double>* pathValues = nullptr)
{
    const BasisFunctions& basis = model.basis();
    const size_t count = static_cast<size_t>(basis.count);
    const size_t cols = count + 1;
    const int32_t steps = model.steps();
    const size_t n = batch.paths;
    const double scale = model.scale();
    std::vector<double> cash(n, 0.0);
    std::vector<int32_t> cashStep(n, steps);
    // Responses lie at the pieces' starts: piece q's rows at [begin, begin + rows).
    std::vector<double> responses(n);

    const size_t pieceCount = n == 0 ? 0 : (n + kFitPiecePaths - 1) / kFitPiecePaths;
    std::vector<FitPiece> pieces(pieceCount);
    for (size_t q = 0; q < pieceCount; ++q) {
        FitPiece& piece = pieces[q];
        piece.begin = q * kFitPiecePaths;
        piece.end = std::min(n, piece.begin + kFitPiecePaths);
        const size_t paths = piece.end - piece.begin;
        piece.inMoney.resize(paths);
        piece.exercise.resize(paths);
        piece.values.resize(paths * count);
        piece.ld = std::max(paths, cols);
        piece.block.resize(piece.ld * cols);
        piece.largest.resize(cols);
        piece.coords.resize(static_cast<size_t>(basis.dims));
    }
    const int64_t pieceLoop = static_cast<int64_t>(pieceCount);
    // No more threads than pieces (nor cores the process may run on).
    const int threads = parallelThreads(pieceLoop, multiThreaded);
    std::vector<double> joined(cols * cols), work(2 * cols * cols);
    std::vector<int> exponents(cols);
    Vector<double> coefficients(count);
    // The triangles of a date are joined in piece order while the loop runs:
    // a piece that finishes joins its own triangle and those of the finished
    // pieces after it, as far as the next unfinished one (under the join's lock),
    // so the join costs the threads no wait between the dates.
    TriangleJoin join;
    join.joined = joined.data();
    join.work = work.data();
    join.cols = cols;
    std::vector<char> finished(pieceCount);

    for (int32_t k = steps - 1; k >= 1; --k) {
        const std::vector<double>* later =
            k + 1 < steps && !rule[static_cast<size_t>(k + 1)].empty() ? &rule[static_cast<size_t>(k + 1)] : nullptr;
        join.start();
        std::fill(finished.begin(), finished.end(), 0);
        forEachPlane(pieceLoop, threads, [&](int64_t q) {
            FitPiece& piece = pieces[static_cast<size_t>(q)];
            // Joins the triangle once the piece's rows are settled, however it leaves.
            struct Finish {
                TriangleJoin& join;
                std::vector<FitPiece>& pieces;
                std::vector<char>& finished;
                size_t q;
                ~Finish() { join.finish(pieces, finished, q); }
            } finish{join, pieces, finished, static_cast<size_t>(q)};
            if (k == steps - 1) {
                for (size_t p = piece.begin; p < piece.end; ++p)
                    if (batch.live(p, steps))
                        cash[p] = model.exerciseValue(batch.state(p, steps));
            }
            // The exercise decisions of date k + 1.
            if (later)
                applyExerciseDecisions(piece, count, later->data(), scale, k + 1, cash.data(), cashStep.data());
            // The rows of date k.
            size_t rows = 0;
            bool finite = true;
            double* coords = piece.coords.data();
            for (size_t p = piece.begin; p < piece.end; ++p) {
                if (!batch.live(p, k))
                    continue;
                const double* state = batch.state(p, k);
                const double value = model.exerciseValue(state);
                if (!(value > 0.0))
                    continue;
                double* v = piece.values.data() + rows * count;
                model.coordinates(state, coords);
                basis.evaluate(coords, v);
                const double future = cash[p] > 0.0 ? cash[p] * discounts[cashStep[p] - k] : 0.0;
                const double response = future / scale;
                double sum = response;
                for (size_t c = 0; c < count; ++c)
                    sum += v[c];
                finite = finite && std::isfinite(sum);
                responses[piece.begin + rows] = response;
                piece.inMoney[rows] = p;
                piece.exercise[rows] = value;
                ++rows;
            }
            piece.rows = rows;
            piece.finite = finite;
            for (size_t c = 0; c < cols; ++c)
                piece.largest[c] = 0.0;
            if (!finite || rows == 0)
                return;
            // Every value is finite here: a plain comparison finds the largest.
            double* largest = piece.largest.data();
            for (size_t i = 0; i < rows; ++i) {
                const double* v = piece.values.data() + i * count;
                for (size_t c = 0; c < count; ++c) {
                    const double t = std::fabs(v[c]);
                    largest[c] = t > largest[c] ? t : largest[c];
                }
                const double t = std::fabs(responses[piece.begin + i]);
                largest[count] = t > largest[count] ? t : largest[count];
            }
            reduceFitPiece(piece, count, responses, nullptr);
        });

        size_t m = 0;
        bool finite = true;
        for (const FitPiece& piece : pieces) {
            m += piece.rows;
            finite = finite && piece.finite;
        }
        std::vector<double>& entry = rule[static_cast<size_t>(k)];
        if (m <= count + 1)
            continue;
        // Asset values beyond the range of doubles give basis values or
        // responses that are not numbers: the run fails rather than the
        // decomposition.
        if (!finite)
            fail(kNonFiniteResultText);
        std::vector<double> largest(cols, 0.0);
        for (const FitPiece& piece : pieces)
            for (size_t c = 0; c < cols; ++c)
                largest[c] = std::fmax(largest[c], piece.largest[c]);
        const bool scaled = equilibrationExponents(largest.data(), count, exponents.data());
        if (scaled) {
            forEachPlane(pieceLoop, threads, [&](int64_t q) {
                if (pieces[static_cast<size_t>(q)].rows > 0)
                    reduceFitPiece(pieces[static_cast<size_t>(q)], count, responses, exponents.data());
            });
        }
        if (scaled) {
            join.start();
            for (const FitPiece& piece : pieces)
                join.add(piece);
        }
        solveTriangle(joined.data(), cols, count, 1e-12, scaled ? exponents.data() : nullptr, coefficients);
        entry.assign(coefficients.data(), coefficients.data() + count);
    }
    if (!pathValues)
        return;
    // The decisions of the first date, then the discounted cash flows.
    pathValues->assign(n, 0.0);
    const std::vector<double>* first = steps > 1 && !rule[1].empty() ? &rule[1] : nullptr;
    forEachPlane(pieceLoop, threads, [&](int64_t q) {
        FitPiece& piece = pieces[static_cast<size_t>(q)];
        if (steps == 1)
            for (size_t p = piece.begin; p < piece.end; ++p)
                if (batch.live(p, steps))
                    cash[p] = model.exerciseValue(batch.state(p, steps));
        if (first)
            applyExerciseDecisions(piece, count, first->data(), scale, 1, cash.data(), cashStep.data());
        for (size_t p = piece.begin; p < piece.end; ++p)
            (*pathValues)[p] = cash[p] > 0.0 ? cash[p] * discounts[cashStep[p]] : 0.0;
    });
}

}  // namespace tarvic
