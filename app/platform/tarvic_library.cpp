#include "platform/tarvic_library.h"

#include "platform/runtime_error.h"
#include "tarvic/counted_string.h"
#include "tarvic/tarvic.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace tarvic {
namespace {

const char* const kExportNames[] = {
    "VanillaBS",         "BarrierBS",        "VanillaBSGrid",
    "BarrierBSGrid",     "VelkOptionPricer", "VelkBarrierOptionPricer",
    "VelkAsianOptionPricer", "VelkOptionPricerMC", "VelkAsianOptionPricerMC",
    "tvStringByteLen",   "tvFreeString",
};

// Each export's type is the library header's own, so a change of signature
// there cannot leave a call here through a mismatched type. Taking the
// addresses inside decltype binds nothing at link time.
using VanillaBSFn = decltype(&::VanillaBS);
using BarrierBSFn = decltype(&::BarrierBS);
using VanillaBSGridFn = decltype(&::VanillaBSGrid);
using BarrierBSGridFn = decltype(&::BarrierBSGrid);
using VelkOptionPricerFn = decltype(&::VelkOptionPricer);
using VelkBarrierOptionPricerFn = decltype(&::VelkBarrierOptionPricer);
using VelkAsianOptionPricerFn = decltype(&::VelkAsianOptionPricer);
using VelkOptionPricerMCFn = decltype(&::VelkOptionPricerMC);
using VelkAsianOptionPricerMCFn = decltype(&::VelkAsianOptionPricerMC);
using StringByteLenFn = decltype(&::tvStringByteLen);
using FreeStringFn = decltype(&::tvFreeString);

template <typename Fn>
Fn as(void* symbol)
{
    return reinterpret_cast<Fn>(symbol);
}

#ifndef TARVIC_LIBRARY_FROM_PROGRAM
#define TARVIC_LIBRARY_FROM_PROGRAM "../lib"
#endif
#ifndef TARVIC_INSTALL_LIBRARY_DIR
#define TARVIC_INSTALL_LIBRARY_DIR "/usr/local/lib"
#endif

QString defaultLibraryPath()
{
    QString folder;
    if (QCoreApplication::instance())
        folder = QCoreApplication::applicationDirPath();
    if (folder.isEmpty())
        folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    return findLibrary(folder);
}

}  // namespace

QString findLibrary(const QString& programFolder)
{
    const QString name = QStringLiteral("libtarvic.so");
    const QString beside = QDir(programFolder).filePath(name);
    const QString installed[] = {
        QDir(programFolder).filePath(QStringLiteral(TARVIC_LIBRARY_FROM_PROGRAM)),
        QStringLiteral(TARVIC_INSTALL_LIBRARY_DIR)};
    if (QFileInfo(beside).isFile())
        return beside;
    for (const QString& folder : installed) {
        const QString path = QDir::cleanPath(QDir(folder).filePath(name));
        if (QFileInfo(path).isFile())
            return path;
    }
    return beside;
}

QString installedLibraryFolder(const QString& programFolder)
{
    return QDir::cleanPath(
        QDir(programFolder).filePath(QStringLiteral(TARVIC_LIBRARY_FROM_PROGRAM)));
}

QString takeLibraryText(char* text, const LibraryTextFunctions& functions)
{
    if (!text)
        RaiseError(kErrOutOfMemory, QStringLiteral("Out of memory"));
    const QString decoded =
        QString::fromLocal8Bit(text, static_cast<qsizetype>(functions.byteLength(text)));
    functions.release(text);
    return decoded;
}

LibraryTextFunctions TarvicLibrary::textFunctions()
{
    return {as<StringByteLenFn>(bind(kStringByteLen)), as<FreeStringFn>(bind(kFreeString))};
}

TarvicLibrary& TarvicLibrary::instance()
{
    static TarvicLibrary library;
    return library;
}

TarvicLibrary::~TarvicLibrary()
{
    // The library stays mapped until the process ends: its OpenMP threads
    // may still be parked inside it.
}

QString TarvicLibrary::libraryPath() const
{
    return m_path.isEmpty() ? defaultLibraryPath() : m_path;
}

QString TarvicLibrary::fileName() const
{
    return QFileInfo(libraryPath()).fileName();
}

void TarvicLibrary::setLibraryPath(const QString& path)
{
    unload();
    const std::lock_guard<std::mutex> lock(m_bindLock);
    m_path = path;
}

void TarvicLibrary::unload()
{
    const std::lock_guard<std::mutex> lock(m_bindLock);
    for (void*& bound : m_bound)
        bound = nullptr;
    // A handle once opened is kept open (see the destructor); opening the
    // same file again returns the same handle.
    m_handle = nullptr;
}

void* TarvicLibrary::bind(Export which)
{
    static_assert(sizeof kExportNames / sizeof kExportNames[0] == kExportCount);
    const std::lock_guard<std::mutex> lock(m_bindLock);
    if (m_bound[which])
        return m_bound[which];
    if (!m_handle) {
        const QByteArray file = QFile::encodeName(libraryPath());
        m_handle = dlopen(file.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!m_handle)
            RaiseError(kErrFileNotFound, QStringLiteral("File not found: %1").arg(fileName()));
    }
    dlerror();
    void* symbol = dlsym(m_handle, kExportNames[which]);
    if (!symbol)
        RaiseError(kErrDllEntryPoint, QStringLiteral("Can't find DLL entry point %1 in %2")
                                          .arg(QLatin1String(kExportNames[which]), fileName()));
    m_bound[which] = symbol;
    return symbol;
}

double TarvicLibrary::VanillaBS(double& value, double& delta, double& gamma, double& theta,
                                double& vega, double spot, double strike, double intRate,
                                double divYield, double volatility, double expiry,
                                int32_t optionType)
{
    return as<VanillaBSFn>(bind(kVanillaBS))(&value, &delta, &gamma, &theta, &vega, spot, strike,
                                             intRate, divYield, volatility, expiry, optionType);
}

double TarvicLibrary::BarrierBS(double& value, double& delta, double& gamma, double& theta,
                                double& vega, double spot, double strike, double intRate,
                                double divYield, double volatility, double expiry,
                                double lowerBarrier, double upperBarrier, int32_t knockOut,
                                int32_t optionType)
{
    return as<BarrierBSFn>(bind(kBarrierBS))(&value, &delta, &gamma, &theta, &vega, spot, strike,
                                             intRate, divYield, volatility, expiry, lowerBarrier,
                                             upperBarrier, knockOut, optionType);
}

double TarvicLibrary::VanillaBSGrid(const double* assetGrid, double* exactValue, double strike,
                                    double intRate, double divYield, double volatility,
                                    double expiry, int32_t optionType, int32_t lastIndex)
{
    return as<VanillaBSGridFn>(bind(kVanillaBSGrid))(assetGrid, exactValue, strike, intRate,
                                                     divYield, volatility, expiry, optionType,
                                                     lastIndex);
}

double TarvicLibrary::BarrierBSGrid(const double* assetGrid, double* exactValue, double strike,
                                    double intRate, double divYield, double volatility,
                                    double expiry, double lowerBarrier, double upperBarrier,
                                    int32_t knockOut, int32_t optionType, int32_t lastIndex)
{
    return as<BarrierBSGridFn>(bind(kBarrierBSGrid))(assetGrid, exactValue, strike, intRate,
                                                     divYield, volatility, expiry, lowerBarrier,
                                                     upperBarrier, knockOut, optionType,
                                                     lastIndex);
}

QString TarvicLibrary::VelkOptionPricer(double* assetGrid, double* optionValue, double* delta,
                                        double* gamma, double* theta, double* vega, double strike,
                                        int32_t timeSteps, double expiry, double volatility,
                                        double intRate, double divYield, int32_t& assetSteps,
                                        int32_t optionType, int32_t exerciseType,
                                        int32_t discretization, int32_t amerSolver,
                                        double maxAsset, int32_t calcTheta, int32_t calcVega,
                                        int32_t nonUniformGrid, int32_t numPeriods)
{
    const LibraryTextFunctions text = textFunctions();
    auto fn = as<VelkOptionPricerFn>(bind(kVelkOptionPricer));
    return takeLibraryText(fn(assetGrid, optionValue, delta, gamma, theta, vega, strike,
                              timeSteps, expiry, volatility, intRate, divYield, &assetSteps,
                              optionType, exerciseType, discretization, amerSolver, maxAsset,
                              calcTheta, calcVega, nonUniformGrid, numPeriods), text);
}

QString TarvicLibrary::VelkBarrierOptionPricer(
    double* assetGrid, double* optionValue, double* delta, double* gamma, double* theta,
    double* vega, double spot, double strike, double lowerBarrier, double upperBarrier,
    int32_t contMonitoring, int32_t timeSteps, double expiry, double volatility, double intRate,
    double divYield, int32_t& assetSteps, int32_t optionType, int32_t knockOut,
    int32_t exerciseType, int32_t discretization, int32_t amerSolver, double maxAsset,
    int32_t calcTheta, int32_t calcVega, int32_t nonUniformGrid, int32_t numPeriods)
{
    const LibraryTextFunctions text = textFunctions();
    auto fn = as<VelkBarrierOptionPricerFn>(bind(kVelkBarrierOptionPricer));
    return takeLibraryText(fn(assetGrid, optionValue, delta, gamma, theta, vega, spot, strike,
                              lowerBarrier, upperBarrier, contMonitoring, timeSteps, expiry,
                              volatility, intRate, divYield, &assetSteps, optionType, knockOut,
                              exerciseType, discretization, amerSolver, maxAsset, calcTheta,
                              calcVega, nonUniformGrid, numPeriods), text);
}

QString TarvicLibrary::VelkAsianOptionPricer(
    double* assetGrid, double* optionValue, double* delta, double* gamma, double* theta,
    double* vega, double spot, double strike, int32_t timeSteps, double expiry, double volatility,
    double intRate, double divYield, int32_t& assetSteps, int32_t planeSpacing,
    int32_t numFixings, int32_t numSettled, double settledAverage, double firstFixingTime,
    int32_t optionType, int32_t exerciseType, int32_t discretization, int32_t amerSolver,
    int32_t planesInterp, double maxAsset, int32_t calcTheta, int32_t calcVega,
    int32_t nonUniformGrid, int32_t multiThreaded)
{
    const LibraryTextFunctions text = textFunctions();
    auto fn = as<VelkAsianOptionPricerFn>(bind(kVelkAsianOptionPricer));
    return takeLibraryText(fn(assetGrid, optionValue, delta, gamma, theta, vega, spot, strike,
                              timeSteps, expiry, volatility, intRate, divYield, &assetSteps,
                              planeSpacing, numFixings, numSettled, settledAverage,
                              firstFixingTime, optionType, exerciseType, discretization,
                              amerSolver, planesInterp, maxAsset, calcTheta, calcVega,
                              nonUniformGrid, multiThreaded), text);
}

QString TarvicLibrary::VelkOptionPricerMC(
    double* optionValue, double* delta, double* gamma, double* vega, double* theta,
    int32_t& rowCount, double spot, double strike, double lowerBarrier, double upperBarrier,
    double expiry, double volatility, double intRate, double divYield, int32_t numSteps,
    int32_t optionType, int32_t exerciseType, int32_t knockOut, int32_t contMonitoring,
    int32_t numPaths, int32_t numLSPaths, int32_t numBasisFunctions, int32_t greeksCode,
    int32_t greeksMethod, int32_t timeMarching, int32_t antithetic, int32_t useSobol,
    int32_t warmUpSobol, int32_t brownianBridge, int32_t multiThreaded, int32_t fewSobolBlocks)
{
    const LibraryTextFunctions text = textFunctions();
    auto fn = as<VelkOptionPricerMCFn>(bind(kVelkOptionPricerMC));
    return takeLibraryText(fn(optionValue, delta, gamma, vega, theta, &rowCount, spot, strike,
                              lowerBarrier, upperBarrier, expiry, volatility, intRate, divYield,
                              numSteps, optionType, exerciseType, knockOut, contMonitoring,
                              numPaths, numLSPaths, numBasisFunctions, greeksCode, greeksMethod,
                              timeMarching, antithetic, useSobol, warmUpSobol, brownianBridge,
                              multiThreaded, fewSobolBlocks), text);
}

QString TarvicLibrary::VelkAsianOptionPricerMC(
    double* optionValue, double* delta, double* gamma, double* vega, double* theta,
    int32_t& rowCount, double spot, double strike, double expiry, double volatility,
    double intRate, double divYield, int32_t numFixings, int32_t numSettled,
    double settledAverage, double firstFixingTime, int32_t optionType, int32_t exerciseType,
    int32_t strikeType, int32_t numPaths, int32_t numLSPaths, int32_t numBasisFunctions,
    int32_t greeksCode, int32_t greeksMethod, int32_t timeMarching, int32_t antithetic,
    int32_t useSobol, int32_t warmUpSobol, int32_t brownianBridge, int32_t multiThreaded,
    int32_t fewSobolBlocks)
{
    const LibraryTextFunctions text = textFunctions();
    auto fn = as<VelkAsianOptionPricerMCFn>(bind(kVelkAsianOptionPricerMC));
    return takeLibraryText(fn(optionValue, delta, gamma, vega, theta, &rowCount, spot, strike,
                              expiry, volatility, intRate, divYield, numFixings, numSettled,
                              settledAverage, firstFixingTime, optionType, exerciseType,
                              strikeType, numPaths, numLSPaths, numBasisFunctions, greeksCode,
                              greeksMethod, timeMarching, antithetic, useSobol, warmUpSobol,
                              brownianBridge, multiThreaded, fewSobolBlocks), text);
}

}  // namespace tarvic
