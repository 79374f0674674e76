// The pricing library, bound at run time.
//
// libtarvic.so is loaded from the program's own folder (an installed program:
// from the installed library folder) at the first call of any export, and
// each export is looked up by name at its own first call. A missing library
// raises error 53 ("File not found: libtarvic.so"), a missing
// export error 453 ("Can't find DLL entry point <name> in libtarvic.so");
// both reach the caller's error trap like any other run-time error.
//
// The exports are reentrant and may be called from any thread.
//
// Arrays are caller-owned arrays of 50001 doubles (indices 0 to 50000),
// passed as the address of element 0. Texts returned by the pricers are the
// library's 8-bit text, decoded from the system code page; empty = success.
// Each text is read and freed with the library's own tvStringByteLen and
// tvFreeString, bound by name like the pricers (before the pricer is
// called, so that a library without them is reported before it runs).
#pragma once

#include <QString>

#include <cstdint>
#include <mutex>

namespace tarvic {

// The loaded library's functions that read and release its texts.
struct LibraryTextFunctions {
    uint32_t (*byteLength)(char* text) = nullptr;
    void (*release)(char* text) = nullptr;
};

class TarvicLibrary {
public:
    static TarvicLibrary& instance();

    // The file loaded; by default findLibrary for the running program's folder.
    QString libraryPath() const;
    // Uses another file (an empty path restores the default) and forgets
    // every binding made so far.
    void setLibraryPath(const QString& path);
    // Forgets every binding and closes the library.
    void unload();

    // Closed form (result 1.0).
    double VanillaBS(double& value, double& delta, double& gamma, double& theta, double& vega,
                     double spot, double strike, double intRate, double divYield, double volatility,
                     double expiry, int32_t optionType);
    double BarrierBS(double& value, double& delta, double& gamma, double& theta, double& vega,
                     double spot, double strike, double intRate, double divYield, double volatility,
                     double expiry, double lowerBarrier, double upperBarrier, int32_t knockOut,
                     int32_t optionType);
    double VanillaBSGrid(const double* assetGrid, double* exactValue, double strike, double intRate,
                         double divYield, double volatility, double expiry, int32_t optionType,
                         int32_t lastIndex);
    double BarrierBSGrid(const double* assetGrid, double* exactValue, double strike, double intRate,
                         double divYield, double volatility, double expiry, double lowerBarrier,
                         double upperBarrier, int32_t knockOut, int32_t optionType,
                         int32_t lastIndex);

    // Finite differences.
    QString VelkOptionPricer(double* assetGrid, double* optionValue, double* delta, double* gamma,
                             double* theta, double* vega, double strike, int32_t timeSteps,
                             double expiry, double volatility, double intRate, double divYield,
                             int32_t& assetSteps, int32_t optionType, int32_t exerciseType,
                             int32_t discretization, int32_t amerSolver, double maxAsset,
                             int32_t calcTheta, int32_t calcVega, int32_t nonUniformGrid,
                             int32_t numPeriods);
    QString VelkBarrierOptionPricer(double* assetGrid, double* optionValue, double* delta,
                                    double* gamma, double* theta, double* vega, double spot,
                                    double strike, double lowerBarrier, double upperBarrier,
                                    int32_t contMonitoring, int32_t timeSteps, double expiry,
                                    double volatility, double intRate, double divYield,
                                    int32_t& assetSteps, int32_t optionType, int32_t knockOut,
                                    int32_t exerciseType, int32_t discretization,
                                    int32_t amerSolver, double maxAsset, int32_t calcTheta,
                                    int32_t calcVega, int32_t nonUniformGrid, int32_t numPeriods);
    QString VelkAsianOptionPricer(double* assetGrid, double* optionValue, double* delta,
                                  double* gamma, double* theta, double* vega, double spot,
                                  double strike, int32_t timeSteps, double expiry,
                                  double volatility, double intRate, double divYield,
                                  int32_t& assetSteps, int32_t planeSpacing, int32_t numFixings,
                                  int32_t numSettled, double settledAverage,
                                  double firstFixingTime, int32_t optionType,
                                  int32_t exerciseType, int32_t discretization,
                                  int32_t amerSolver, int32_t planesInterp, double maxAsset,
                                  int32_t calcTheta, int32_t calcVega, int32_t nonUniformGrid,
                                  int32_t multiThreaded);

    // Monte Carlo.
    QString VelkOptionPricerMC(double* optionValue, double* delta, double* gamma, double* vega,
                               double* theta, int32_t& rowCount, double spot, double strike,
                               double lowerBarrier, double upperBarrier, double expiry,
                               double volatility, double intRate, double divYield,
                               int32_t numSteps, int32_t optionType, int32_t exerciseType,
                               int32_t knockOut, int32_t contMonitoring, int32_t numPaths,
                               int32_t numLSPaths, int32_t numBasisFunctions, int32_t greeksCode,
                               int32_t greeksMethod, int32_t timeMarching, int32_t antithetic,
                               int32_t useSobol, int32_t warmUpSobol, int32_t brownianBridge,
                               int32_t multiThreaded, int32_t fewSobolBlocks);
    QString VelkAsianOptionPricerMC(double* optionValue, double* delta, double* gamma,
                                    double* vega, double* theta, int32_t& rowCount, double spot,
                                    double strike, double expiry, double volatility,
                                    double intRate, double divYield, int32_t numFixings,
                                    int32_t numSettled, double settledAverage,
                                    double firstFixingTime, int32_t optionType,
                                    int32_t exerciseType, int32_t strikeType, int32_t numPaths,
                                    int32_t numLSPaths, int32_t numBasisFunctions,
                                    int32_t greeksCode, int32_t greeksMethod,
                                    int32_t timeMarching, int32_t antithetic, int32_t useSobol,
                                    int32_t warmUpSobol, int32_t brownianBridge,
                                    int32_t multiThreaded, int32_t fewSobolBlocks);

    TarvicLibrary(const TarvicLibrary&) = delete;
    TarvicLibrary& operator=(const TarvicLibrary&) = delete;

private:
    TarvicLibrary() = default;
    ~TarvicLibrary();

    enum Export {
        kVanillaBS,
        kBarrierBS,
        kVanillaBSGrid,
        kBarrierBSGrid,
        kVelkOptionPricer,
        kVelkBarrierOptionPricer,
        kVelkAsianOptionPricer,
        kVelkOptionPricerMC,
        kVelkAsianOptionPricerMC,
        kStringByteLen,
        kFreeString,
        kExportCount
    };
    void* bind(Export which);
    LibraryTextFunctions textFunctions();
    QString fileName() const;

    // Runs call the exports from worker threads: the bindings are made
    // under one lock.
    std::mutex m_bindLock;
    QString m_path;
    void* m_handle = nullptr;
    void* m_bound[kExportCount] = {};
};

// The library a program in programFolder binds: libtarvic.so beside it,
// else in the installed library folder (installedLibraryFolder, then the
// folder the build was configured to install into); the path beside the
// program when none holds it, so that a missing library is reported by name.
QString findLibrary(const QString& programFolder);

// The library folder of an install whose program lives in programFolder.
QString installedLibraryFolder(const QString& programFolder);

// Decodes a text returned by the library and frees it with the library's
// own function. A null text (the library ran out of memory making it)
// raises the out-of-memory error.
QString takeLibraryText(char* text, const LibraryTextFunctions& functions);

}  // namespace tarvic
