/*
 * libtarvic: the exported pricers.
 *
 * Conventions shared by every export:
 *  - units: spot, strike, barriers and grid levels in the currency of the
 *    asset; expiry and times in years; volatility, intRate and divYield
 *    as fractions per year, continuously compounded: 5 % is 0.05. The
 *    desktop program's boxes take percent and divide by 100; the library
 *    does not, so an intRate of 5 is priced as a rate of 500 % without a
 *    word. Rates and volatility are flat (one number each for the whole
 *    life of the option); a negative intRate or divYield is priced as
 *    given;
 *  - integers are 32-bit signed and flags 32-bit values of which the low
 *    byte counts (non-zero = set), so 256 is clear and 1 or 65535 are set;
 *  - arrays are caller-owned arrays of doubles passed as the address of
 *    element 0; the library reads their size from nowhere, so each must
 *    hold what its export writes: the grid closed forms lastIndex + 1
 *    entries; the finite-difference arrays 50001 (TV_MAX_NODE_INDEX + 1,
 *    the most nodes a grid may have; the entries written are 0..n, n the
 *    node index written back through assetSteps); the Monte Carlo arrays
 *    one entry per row: 500 with pseudo-random numbers, at most 512 with
 *    Sobol points (rowCount says how many were written);
 *  - the solver exports (Velk...) return a counted text
 *    (tarvic/counted_string.h): empty on success, otherwise the failure's
 *    message. No export returns NULL: when memory runs out while the text
 *    of a failure is made, the text is a fixed one that begins "Out of
 *    memory" (a failure like any other). Each text, fixed or not, is freed
 *    with tvFreeString, which leaves the fixed ones alone; check
 *    tvStringByteLen(text) == 0 for success. The closed forms return a
 *    double (1.0 = written);
 *  - the argument order differs between the exports, and most arguments
 *    are doubles, so a swap compiles and prices something else. Closed
 *    forms: ..., intRate, divYield, volatility, expiry; finite differences
 *    and Monte Carlo: ..., expiry, volatility, intRate, divYield. The
 *    closed forms write value, delta, gamma, theta, vega; the
 *    finite-difference arrays are assetGrid, optionValue, delta, gamma,
 *    theta, vega; the Monte Carlo arrays optionValue, delta, gamma, vega,
 *    theta (vega before theta). BarrierBS takes knockOut before optionType,
 *    VelkBarrierOptionPricer optionType before knockOut. Name each argument
 *    in a comment at the call;
 *  - sensitivities: delta and gamma with respect to the spot; theta is the
 *    change of the value as time passes (the negative of its derivative in
 *    expiry), vega its derivative in volatility. The closed forms give
 *    theta per year and vega per unit of volatility; the finite-difference
 *    and Monte Carlo solvers theta per calendar day (the yearly figure over
 *    365) and vega per volatility point (over 100). There is no rho;
 *  - reentrancy: every export is reentrant and may be called from several
 *    threads at once. A call keeps nothing after it returns but the Sobol
 *    direction numbers: the first call with Sobol points reads the file
 *    "new-joe-kuo-6.21201" beside the library, beside the running program,
 *    or in the installed data folder, in that order, and the process keeps
 *    its numbers (read only, shared by all threads); a file missing or not
 *    valid is looked for again by the next call;
 *  - threads: parallel loops run on the library's own team of threads, the
 *    calling thread among them. A loop runs on at most omp_get_max_threads()
 *    threads (OMP_NUM_THREADS, or omp_set_num_threads on the calling
 *    thread), no more than omp_get_thread_limit() (OMP_THREAD_LIMIT), than
 *    the cores of the process's affinity mask, or than its pieces of work;
 *    a loop too small to pay for the hand-over runs on the calling thread.
 *    The team serves one loop at a time: a loop started while it is busy
 *    (another thread's call) runs on its calling thread alone, with the
 *    same result. A call from inside an OpenMP parallel region that may
 *    not nest runs on its thread alone.
 */
#ifndef TARVIC_TARVIC_H
#define TARVIC_TARVIC_H

#include <stdint.h>

#include "tarvic/counted_string.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Entries 0..TV_MAX_NODE_INDEX of each caller array may be written. */
#define TV_MAX_NODE_INDEX 50000

/* ---------------------------------------------------------------------------
 * Closed forms
 *
 * Exact Black–Scholes values, continuous dividend yield q, continuous
 * monitoring, European exercise only. optionType 0 is a call, any other
 * value a put; knockOut 1 is a knock-out, 0 a knock-in. lowerBarrier and
 * upperBarrier are 0 for "none": only the lower gives a down barrier, only
 * the upper an up barrier, both with lower < upper a double barrier; any
 * other pair is worth 0. No rebate is paid. A spot at or past a barrier
 * has touched it: a knock-out is worth 0, a knock-in the vanilla value. A
 * volatility of exactly 0 is priced as 1e-10.
 *
 * A contract that is not priced gives -1.0 as its value (callers show it as
 * not available): a knockOut other than 0 or 1, and a double barrier whose
 * strike lies outside the corridor where the value is not plain (a call
 * struck below the lower barrier, a put struck above the upper one).
 *
 * theta is per year (the change of the value as time passes) and vega per
 * unit of volatility: divide them by 365 and by 100 to compare with the
 * solvers' figures. The result is 1.0 when the outputs were written. Any
 * other result (0.0) means nothing was written: a null output pointer
 * (none may be null), a grid with lastIndex above TV_MAX_NODE_INDEX, an
 * input that is not a finite number, a negative spot, grid node, strike,
 * volatility, expiry or barrier, an output that would not be a finite
 * number, or an internal failure. A grid export with lastIndex below 0
 * writes nothing and returns 1.0.
 * ------------------------------------------------------------------------- */

/* Value and sensitivities of a European option at one spot (analytic). */
double VanillaBS(double* value, double* delta, double* gamma, double* theta, double* vega,
                 double spot, double strike, double intRate, double divYield, double volatility,
                 double expiry, int32_t optionType);

/* Value and sensitivities of a barrier option at one spot (central differences). */
double BarrierBS(double* value, double* delta, double* gamma, double* theta, double* vega,
                 double spot, double strike, double intRate, double divYield, double volatility,
                 double expiry, double lowerBarrier, double upperBarrier, int32_t knockOut,
                 int32_t optionType);

/* exactValue[i] := European value at spot assetGrid[i], i = 0..lastIndex
 * (the last index, not a count). Both arrays hold lastIndex + 1 entries. */
double VanillaBSGrid(const double* assetGrid, double* exactValue, double strike, double intRate,
                     double divYield, double volatility, double expiry, int32_t optionType,
                     int32_t lastIndex);

/* exactValue[i] := barrier value at spot assetGrid[i], i = 0..lastIndex,
 * as VanillaBSGrid. */
double BarrierBSGrid(const double* assetGrid, double* exactValue, double strike, double intRate,
                     double divYield, double volatility, double expiry, double lowerBarrier,
                     double upperBarrier, int32_t knockOut, int32_t optionType,
                     int32_t lastIndex);

/* ---------------------------------------------------------------------------
 * Finite differences
 *
 * Shared by the three finite-difference exports:
 *  - the six arrays (assetGrid, optionValue, delta, gamma, theta, vega)
 *    must all be non-null, vega too when calcVega is clear, and hold
 *    entries 0..50000; a null one fails with its text;
 *  - *assetSteps: in, the number of asset steps from 0 to the strike (the
 *    grid's fineness); out, the index n of the last grid node, written
 *    first. The uniform grid is S_i = i K / (assetSteps + 0.5), so the
 *    strike lies half a step above node assetSteps; it ends at m strike,
 *    m = 3 .. 12 growing with volatility^2 expiry, or at maxAsset when
 *    maxAsset >= 2 strike (smaller values are ignored). nonUniformGrid set:
 *    a sinh grid clustered at the strike, ending at maxAsset when
 *    maxAsset > 0. Without a maxAsset, a grid whose m strike lies below
 *    strike e^(1.85 volatility sqrt(expiry)) (volatility^2 expiry above
 *    about 1.8) ends there instead, or as near as 50001 nodes reach: the
 *    top's error then stays below 1e-4 of the strike at the strike. The
 *    barrier grids that run above a lower barrier do the same;
 *  - when n > 50000 the call solves nothing, writes no array and returns
 *    the EMPTY text: success is an empty text AND n <= 50000. Check the
 *    node count written back; lower assetSteps (or maxAsset) and call again;
 *  - otherwise entries 0..n of every array are written: the grid nodes and
 *    the value, delta, gamma, theta (per calendar day) and vega (per
 *    volatility point, only with calcVega; otherwise the vega array keeps
 *    its contents) at each node, for today's spot equal to the node;
 *  - there is no spot argument to read a value at: the value at a spot S
 *    is read off the grid. The desktop program takes the interval
 *    [S_i, S_i+1] that holds S and interpolates each figure by the cubic
 *    through the four nodes i-1 .. i+2, or linearly between S_i and S_i+1
 *    in the first two and the last two intervals of the grid; a spot
 *    outside [S_0, S_n] has no value;
 *  - timeSteps at least 2; discretization 0 implicit, 1 Crank–Nicolson,
 *    2 Crank–Nicolson started with Rannacher (implicit) steps;
 *    exerciseType 0 European, 1 American, 2 Bermudan; early exercise
 *    (American) by amerSolver 0 projected SOR, 1 projected "turbo" SOR,
 *    2 Brennan–Schwartz; optionType 0 call, 1 put; strike (but for the
 *    Asian floating strike), expiry and volatility above 0; a code out of
 *    its range fails with a text naming it;
 *  - calcTheta set: theta by re-solving at expiry T (1 + 1e-5); calcVega
 *    set: vega by re-solving at volatility + 1e-5. Without calcTheta the
 *    vanilla and barrier solvers write the solver's own theta, which is
 *    per day too;
 *  - the vanilla and barrier calls run their re-solves beside the first
 *    solve on other threads of the team (see the conventions above), the
 *    Asian call its planes when multiThreaded is set; the figures do not
 *    depend on the thread count;
 *  - a solution with an entry that is not a finite number in any array the
 *    call would write fails with its text, and no array is written
 *    (assetSteps still holds the node count). So does a value below 0
 *    beyond rounding (the grid cannot resolve the contract: the text names
 *    the volatility, time steps and asset steps), a grid whose cells near
 *    the strike and barriers are too wide for the drift r - q against the
 *    volatility (|r - q| dS / (sigma^2 S) above 1 where the value bends: the
 *    text names the asset steps that resolve it), and, for the vanilla
 *    export and the barrier export with a lower barrier alone, a grid
 *    whose top lies so low that its error outweighs the resolution's at
 *    the value that matters (the text names maxAsset, assetSteps,
 *    volatility and expiry). The top's error carried down to the larger of
 *    spot and strike (the strike for the vanilla) is taken as the European
 *    put struck at the strike knocked in at the top; the resolution's
 *    error as (1 / (assetSteps + 0.5))^2 of the strike, at least 1e-4 of
 *    it. A top at or above that level times e^(1.85 volatility
 *    sqrt(expiry)) always passes; values at levels well above the strike
 *    carry more of a low top's error than the one judged. A failure text
 *    otherwise leaves the arrays possibly partly written.
 * ------------------------------------------------------------------------- */

/* Vanilla European, American or Bermudan option on the asset grid.
 * numPeriods: exercise periods; above 1 the time steps are adjusted to
 * whole periods, and exerciseType 2 exercises at the period ends only (its
 * theta is then written as zeros unless calcTheta is set). 1, 0 or below
 * is one period: no adjustment, and exerciseType 2 then has no exercise
 * date before expiry (the European value). A call's top
 * takes the larger of its exercise value (carried from the next exercise
 * date for a Bermudan) and the European top, and a solve whose exercise
 * never holds is stepped as the European one; so an American or Bermudan
 * value is at every node at least the European value of the same grid and
 * time steps, but for rounding (and projected SOR's stopping error). With
 * discretization 2, where exercise does hold, the implicit quarter steps
 * taken after the exercise dates (and for the last step of an American
 * with a dividend yield) may leave it below by their own time error,
 * which falls with the square of the time steps. */
TvString VelkOptionPricer(double* assetGrid, double* optionValue, double* delta, double* gamma,
                          double* theta, double* vega, double strike, int32_t timeSteps,
                          double expiry, double volatility, double intRate, double divYield,
                          int32_t* assetSteps, int32_t optionType, int32_t exerciseType,
                          int32_t discretization, int32_t amerSolver, double maxAsset,
                          int32_t calcTheta, int32_t calcVega, int32_t nonUniformGrid,
                          int32_t numPeriods);

/* Single or double barrier option, knock-out (knockOut 1) or knock-in (0),
 * on the barrier grid. A missing barrier is exactly 0: only lowerBarrier
 * gives a down barrier, only upperBarrier an up barrier, both (lower below
 * upper) a double barrier. contMonitoring set: the barriers are watched
 * continuously; clear: a knock-out is monitored at the numPeriods equally
 * spaced dates ending at expiry (numPeriods of 1, 0 or below: at expiry
 * only). spot only places the clustering of the discretely monitored
 * grids; knock-ins are always monitored continuously. The grid (assetGrid)
 * follows the contract: a continuously monitored knock-out, and every
 * knock-in, on a grid that ends on its barriers: a double barrier from L to
 * U, uniform; a down barrier from L up to the top (a multiple of the strike,
 * or maxAsset), uniform or, with nonUniformGrid, finest at the barrier; an
 * up barrier from 0 to U, uniform. A discretely monitored knock-out on a
 * grid from 0 past its barriers with each barrier on a node, uniform or,
 * with nonUniformGrid, stretched around the spot. A spot beyond the
 * barrier end of a grid has no value on it.
 * The node count, the arrays and the 50000-node limit are those of
 * VelkOptionPricer. The solver's theta is written for continuously monitored
 * contracts that are not Bermudan with several periods, otherwise zeros
 * (calcTheta replaces them by a re-solved theta). */
TvString VelkBarrierOptionPricer(double* assetGrid, double* optionValue, double* delta,
                                 double* gamma, double* theta, double* vega, double spot,
                                 double strike, double lowerBarrier, double upperBarrier,
                                 int32_t contMonitoring, int32_t timeSteps, double expiry,
                                 double volatility, double intRate, double divYield,
                                 int32_t* assetSteps, int32_t optionType, int32_t knockOut,
                                 int32_t exerciseType, int32_t discretization,
                                 int32_t amerSolver, double maxAsset, int32_t calcTheta,
                                 int32_t calcVega, int32_t nonUniformGrid, int32_t numPeriods);

/* Fixed- or floating-strike Asian option on the arithmetic average of
 * numFixings equally spaced fixings in all (the last at expiry), numSettled
 * of them already settled at the average settledAverage; European, American
 * or Bermudan (exerciseType 2: exercisable at the fixings). A strike of
 * exactly 0 selects the floating strike (the spot then centres the grid);
 * otherwise spot is not read. The arrays hold the value at today's asset
 * level S_i with the settled average as given. Solved backwards on planes
 * of the running average, planeSpacing (1, 2 or 4) asset steps apart,
 * interpolated across them linearly (planesInterp 0), quadratically (1) or
 * cubically (2 or any other value). firstFixingTime is accepted and not
 * read: the fixings still to come fall at equal intervals of the time to
 * expiry. The node count n written back may lie one or more beyond the
 * grid's own last index while the curve still bends, never beyond 50000.
 * theta is 0 unless calcTheta is set. Running out of memory gives its own
 * text, which names the planes' memory.
 * Cost: every plane is solved on every node of the grid, so the time and
 * memory grow with nodes times planes. A floating strike solves its planes
 * on a grid that reaches far above the reported one (strike
 * (9 volatility^2 expiry + 3)^2.4, where the average still moves the
 * value): the stretched grid reaches it in a few more nodes, the uniform
 * grid (nonUniformGrid clear) in steps of strike / (assetSteps + 0.5), each
 * a node and every planeSpacing-th a plane. At spot 100, volatility 0.8,
 * expiry 1, 100 asset steps, planeSpacing 4, 12 fixings: stretched 1900
 * nodes and 476 planes (20 MB), uniform 18373 nodes and 4594 planes
 * (1.3 GB): 93 times the node-planes, and 51 s on one core against 0.75 s
 * (about the same work per node-plane; the uniform planes are read from
 * memory rather than cache). Prefer the stretched grid for a floating
 * strike. */
TvString VelkAsianOptionPricer(double* assetGrid, double* optionValue, double* delta,
                               double* gamma, double* theta, double* vega, double spot,
                               double strike, int32_t timeSteps, double expiry,
                               double volatility, double intRate, double divYield,
                               int32_t* assetSteps, int32_t planeSpacing, int32_t numFixings,
                               int32_t numSettled, double settledAverage,
                               double firstFixingTime, int32_t optionType,
                               int32_t exerciseType, int32_t discretization, int32_t amerSolver,
                               int32_t planesInterp, double maxAsset, int32_t calcTheta,
                               int32_t calcVega, int32_t nonUniformGrid, int32_t multiThreaded);

/* ---------------------------------------------------------------------------
 * Monte Carlo
 * ------------------------------------------------------------------------- */

/* Vanilla and barrier options by simulation. Writes one row per checkpoint
 * of the running estimate (row i = estimate after i+1 equal blocks of paths)
 * and the number of rows through rowCount: 500 rows with pseudo-random
 * numbers; with Sobol points one row per block, at most 512. Flags count by
 * their low byte.
 *  - lowerBarrier, upperBarrier: 0 = none; knockOut 1 knock-out, 0 knock-in;
 *  - numPaths (and numLSPaths): Sobol points: the exponent k of 2^k paths
 *    (0..30); pseudo-random numbers: thousands of paths. With early
 *    exercise low counts are raised, not refused: the regression paths to
 *    at least 1000 (2^10 with Sobol points), all paths to at least the
 *    regression paths;
 *  - greeksCode: 1000 delta and gamma + 100 vega + 10 theta, the arrays
 *    written with either greeksMethod: 1 likelihood ratio, 2 finite
 *    differencing, other values none;
 *  - optionType 0 call, any other value put;
 *  - contMonitoring set: a barrier counts when touched at any time: each
 *    path step weighs the payoff by the chance that the asset, bridged
 *    between the step's two dates, did not touch a barrier (with early
 *    exercise a uniform draw decides the touch); clear: a barrier counts
 *    only at the numSteps path dates, the last at expiry;
 *  - timeMarching 1 exact, 2 Euler, 3 Milstein. An Euler or Milstein step
 *    can take the asset below 0, where the path holds it; that lifts the
 *    asset's mean above its forward. Where the lift exceeds the estimate's
 *    standard error (judged from the asset's spread and the path count) the
 *    call fails with a text that names exact marching and the fewest
 *    numSteps that would do;
 *  - useSobol: Sobol points, one dimension per path step (at most 20000).
 *    The 2^numPaths points are cut into blocks of consecutive points, the
 *    estimate written after each block, thinned to at most 512 rows.
 *    European: 2^(numPaths - 11) blocks of 2048 points, but at least 128
 *    blocks (fewSobolBlocks set: 8), fewer when the blocks' memory would
 *    be too large; early exercise: blocks of about min(2^numPaths / 8, 1024)
 *    points (fewSobolBlocks not read). warmUpSobol set: the points start after the first 2^numPaths
 *    points of the sequence, which skips its origin; clear: the sequence
 *    starts at its origin, taken as 0.0001 in every coordinate.
 *    brownianBridge set: a path's normals build it by the Brownian bridge
 *    (the first dimension fixes the asset at expiry, the next ones the
 *    midpoints), so that the first coordinates carry most of the variance;
 *    clear: one dimension per step in time order. Both flags are read with
 *    Sobol points only;
 *  - exerciseType 0 European; any other value early exercise at the numSteps
 *    path dates (American and Bermudan alike), by Longstaff–Schwartz
 *    regression on numLSPaths regression paths with numBasisFunctions + 1
 *    basis functions; the spot-bumped runs of finite differencing reuse the
 *    exercise rule of the base run.
 * With pseudo-random numbers the paths are split between
 * min(omp_get_max_threads(), 8) generators, multiThreaded set or not, so
 * the figures depend on that count (fix OMP_NUM_THREADS to repeat a run
 * bit for bit); Sobol points give the same figures on any thread count.
 * vega is per volatility point, theta per calendar day. Arrays of
 * sensitivities that are not asked for keep their contents and may be null.
 * A row with an entry that is not a finite number in any array to be written
 * fails the call; on failure neither rowCount nor any array is written. */
TvString VelkOptionPricerMC(double* optionValue, double* delta, double* gamma, double* vega, double* theta,
                            int32_t* rowCount, double spot, double strike, double lowerBarrier,
                            double upperBarrier, double expiry, double volatility, double intRate,
                            double divYield, int32_t numSteps, int32_t optionType, int32_t exerciseType,
                            int32_t knockOut, int32_t contMonitoring, int32_t numPaths, int32_t numLSPaths,
                            int32_t numBasisFunctions, int32_t greeksCode, int32_t greeksMethod,
                            int32_t timeMarching, int32_t antithetic, int32_t useSobol, int32_t warmUpSobol,
                            int32_t brownianBridge, int32_t multiThreaded, int32_t fewSobolBlocks);

/* Fixed- or floating-strike Asian options by simulation, on the arithmetic
 * average of the settled fixings and the fixings still to come. The rows,
 * their number, rowCount, the codes of numPaths to fewSobolBlocks, the units
 * and the arrays written are those of VelkOptionPricerMC.
 *  - numFixings: the fixings still to come (at least 1), at equal intervals
 *    of the time to expiry, the last at expiry, one path step each;
 *  - numSettled fixings (at least 0) are settled at the average
 *    settledAverage (not negative): the option pays on
 *    (numSettled settledAverage + the fixings to come) / (numSettled + numFixings);
 *  - firstFixingTime is accepted and not read;
 *  - Euler and Milstein marching are judged as in VelkOptionPricerMC, the
 *    fixings being the steps (the text names numFixings);
 *  - strikeType 0 fixed strike (strike positive with early exercise), any
 *    other value floating strike (strike not read): calls pay average - strike
 *    or last fixing - average, puts the opposite;
 *  - exerciseType 0 European; any other value exercisable at every fixing
 *    before expiry, by Longstaff–Schwartz regression on the asset and the
 *    average (numBasisFunctions + 1 = 11, 16 or 25 basis functions, any other
 *    count 36); every bumped run of finite differencing fits its own rule. */
TvString VelkAsianOptionPricerMC(double* optionValue, double* delta, double* gamma, double* vega,
                                 double* theta, int32_t* rowCount, double spot, double strike,
                                 double expiry, double volatility, double intRate, double divYield,
                                 int32_t numFixings, int32_t numSettled, double settledAverage,
                                 double firstFixingTime, int32_t optionType, int32_t exerciseType,
                                 int32_t strikeType, int32_t numPaths, int32_t numLSPaths,
                                 int32_t numBasisFunctions, int32_t greeksCode, int32_t greeksMethod,
                                 int32_t timeMarching, int32_t antithetic, int32_t useSobol,
                                 int32_t warmUpSobol, int32_t brownianBridge, int32_t multiThreaded,
                                 int32_t fewSobolBlocks);

#ifdef __cplusplus
}
#endif

#endif
