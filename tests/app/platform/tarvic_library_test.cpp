// The run-time binding of the pricing library: by name at the first call,
// failures raised as run-time errors and reported, texts decoded and freed.
#include "support/app_fixture.h"

#include "platform/runtime_error.h"
#include "platform/tarvic_library.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <dlfcn.h>

#include <stdexcept>
#include <vector>

using tarvic::TarvicLibrary;

namespace {

class LibraryBinding : public AppFixture {
protected:
    void TearDown() override
    {
        TarvicLibrary::instance().setLibraryPath(QString());
        AppFixture::TearDown();
    }

    // Runs a call the way a handler does and returns the reporter's text.
    QString reportedText(const std::function<void()>& call, const QString& phrase)
    {
        frmOptions& window = gFrmPDE();
        const int before = boxes.shown.size();
        tarvic::RunTrapped(call, [&] { window.ReportError(phrase); });
        return boxes.shown.size() > before ? boxes.shown.back().text : QString();
    }

    double value = 0, delta = 0, gamma = 0, theta = 0, vega = 0;
};

}  // namespace

TEST_F(LibraryBinding, LoadsFromTheProgramsOwnFolderByDefault)
{
    EXPECT_EQ(TarvicLibrary::instance().libraryPath(),
              QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("libtarvic.so")));
}

TEST_F(LibraryBinding, AnInstalledProgramBindsTheInstalledLibrary)
{
    // An install's layout: the program's folder and the library folder
    // beside it, with a stand-in library there.
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString lib = tarvic::installedLibraryFolder(bin);
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QDir().mkpath(lib));
    const QString installed = QDir(lib).filePath(QStringLiteral("libtarvic.so"));
    const QString beside = QDir(bin).filePath(QStringLiteral("libtarvic.so"));
    EXPECT_EQ(tarvic::findLibrary(bin), beside);  // none anywhere: named beside the program
    ASSERT_TRUE(QFile::copy(QStringLiteral(TARVIC_FAKE_LIBRARY), installed));
    EXPECT_EQ(tarvic::findLibrary(bin), installed);

    TarvicLibrary::instance().setLibraryPath(tarvic::findLibrary(bin));
    EXPECT_EQ(TarvicLibrary::instance().VanillaBS(value, delta, gamma, theta, vega, 100, 90, 0.05,
                                                  0, 0.2, 1, 0),
              1.0);
    EXPECT_EQ(value, 10.0);  // the stand-in's spot - strike

    // A library beside the program comes first.
    ASSERT_TRUE(QFile::copy(QStringLiteral(TARVIC_FAKE_LIBRARY), beside));
    EXPECT_EQ(tarvic::findLibrary(bin), beside);
}

TEST_F(LibraryBinding, MissingLibraryIsReportedNotACrash)
{
    dorn->mnuPDEOptions->trigger();
    TarvicLibrary::instance().setLibraryPath(QStringLiteral("/nonexistent/folder/libtarvic.so"));
    const QString text = reportedText(
        [&] {
            TarvicLibrary::instance().VanillaBS(value, delta, gamma, theta, vega, 100, 100, 0.05,
                                                0, 0.2, 1, 0);
        },
        QStringLiteral("calculating the analytical solution"));
    EXPECT_EQ(text, QStringLiteral("Error 53(File not found: libtarvic.so) occurred while "
                                   "calculating the analytical solution"));
    EXPECT_EQ(boxes.shown.back().title, QStringLiteral("PDE Solver - ERROR"));
    EXPECT_EQ(value, 0.0);
}

TEST_F(LibraryBinding, BindsEachExportByNameAndReportsAMissingOne)
{
    dorn->mnuPDEOptions->trigger();
    TarvicLibrary& library = TarvicLibrary::instance();
    library.setLibraryPath(QStringLiteral(TARVIC_FAKE_LIBRARY));

    EXPECT_EQ(library.VanillaBS(value, delta, gamma, theta, vega, 105, 100, 0.05, 0.01, 0.2, 1.5, 1),
              1.0);
    EXPECT_DOUBLE_EQ(value, 5.0);
    EXPECT_DOUBLE_EQ(delta, 0.06);
    EXPECT_DOUBLE_EQ(gamma, 0.2);
    EXPECT_DOUBLE_EQ(theta, 1.5);
    EXPECT_DOUBLE_EQ(vega, 1.0);

    std::vector<double> grid(50001, -1.0);
    const QString text = reportedText(
        [&] {
            library.BarrierBSGrid(grid.data(), grid.data(), 100, 0.05, 0, 0.2, 1, 80, 0, 1, 0, 10);
        },
        QStringLiteral("plotting the difference from the analytical solution"));
    EXPECT_EQ(text, QStringLiteral("Error 453(Can't find DLL entry point BarrierBSGrid in "
                                   "libfake_tarvic.so) occurred while plotting the difference "
                                   "from the analytical solution"));
    EXPECT_EQ(grid[0], -1.0);

    // The exports that exist still work after the failed one.
    library.VanillaBS(value, delta, gamma, theta, vega, 90, 100, 0, 0, 0.2, 1, 0);
    EXPECT_DOUBLE_EQ(value, -10.0);
}

TEST_F(LibraryBinding, PricerTextsAreDecodedFromEightBitAndAnEmptyTextIsSuccess)
{
    TarvicLibrary& library = TarvicLibrary::instance();
    library.setLibraryPath(QStringLiteral(TARVIC_FAKE_LIBRARY));
    std::vector<double> a(50001), v(50001), d(50001), g(50001), t(50001), ve(50001);
    int32_t steps = 9;
    const QString ok = library.VelkOptionPricer(a.data(), v.data(), d.data(), g.data(), t.data(),
                                                ve.data(), 100, 100, 1, 0.2, 0.05, 0, steps, 0,
                                                0, 2, 2, 0, 0, 0, 1, 0);
    EXPECT_TRUE(ok.isEmpty());
    EXPECT_EQ(steps, 10);
    EXPECT_DOUBLE_EQ(a[10], 100.0);

    const QString failure = library.VelkOptionPricer(a.data(), v.data(), d.data(), g.data(),
                                                     t.data(), ve.data(), -1, 100, 1, 0.2, 0.05, 0,
                                                     steps, 0, 0, 2, 2, 0, 0, 0, 1, 0);
    EXPECT_EQ(failure, QString::fromLocal8Bit("Pr\xe9" "cision lost"));
    EXPECT_FALSE(failure.isEmpty());
}

// A text belongs to the library that made it: the program frees each one
// with that library's tvFreeString, never with its own allocator's free.
TEST_F(LibraryBinding, EachTextIsFreedByTheLibraryThatMadeIt)
{
    TarvicLibrary& library = TarvicLibrary::instance();
    library.setLibraryPath(QStringLiteral(TARVIC_FAKE_LIBRARY));
    void* handle = dlopen(TARVIC_FAKE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    const auto freed = reinterpret_cast<int32_t (*)()>(dlsym(handle, "tvFreedTexts"));
    ASSERT_NE(freed, nullptr);
    const int32_t before = freed();
    std::vector<double> a(50001), v(50001), d(50001), g(50001), t(50001), ve(50001);
    for (const double strike : {100.0, -1.0}) {  // an empty text, then a message
        int32_t steps = 9;
        library.VelkOptionPricer(a.data(), v.data(), d.data(), g.data(), t.data(), ve.data(),
                                 strike, 100, 1, 0.2, 0.05, 0, steps, 0, 0, 2, 2, 0, 0, 0, 1, 0);
    }
    EXPECT_EQ(freed() - before, 2);
    dlclose(handle);
}

// The program calls each export through the type the library's header
// declares: the grid exports read a grid the caller keeps constant, and
// agree with the single-spot exports at every node.
TEST_F(LibraryBinding, GridExportsThroughTheHeadersTypesAgreeWithTheSpotExports)
{
    TarvicLibrary& library = TarvicLibrary::instance();
    std::vector<double> nodes(50001, 0.0);
    for (int i = 0; i <= 20; ++i)
        nodes[static_cast<size_t>(i)] = 60.0 + 4.0 * i;
    const std::vector<double>& grid = nodes;
    std::vector<double> vanilla(50001, -7.0), barrier(50001, -7.0);
    ASSERT_EQ(library.VanillaBSGrid(grid.data(), vanilla.data(), 100, 0.05, 0.01, 0.25, 0.75, 1, 20),
              1.0);
    ASSERT_EQ(library.BarrierBSGrid(grid.data(), barrier.data(), 100, 0.05, 0.01, 0.25, 0.75, 70,
                                    0, 1, 0, 20),
              1.0);
    for (int i = 0; i <= 20; ++i) {
        const double spot = grid[static_cast<size_t>(i)];
        library.VanillaBS(value, delta, gamma, theta, vega, spot, 100, 0.05, 0.01, 0.25, 0.75, 1);
        EXPECT_DOUBLE_EQ(vanilla[static_cast<size_t>(i)], value) << spot;
        library.BarrierBS(value, delta, gamma, theta, vega, spot, 100, 0.05, 0.01, 0.25, 0.75, 70,
                          0, 1, 0);
        EXPECT_DOUBLE_EQ(barrier[static_cast<size_t>(i)], value) << spot;
    }
    // Nothing past the last index, and the caller's grid as it was.
    EXPECT_EQ(vanilla[21], -7.0);
    EXPECT_EQ(barrier[21], -7.0);
    EXPECT_EQ(grid[20], 140.0);
}

TEST(LibraryTextTest, NullTextIsTheOutOfMemoryError)
{
    try {
        tarvic::takeLibraryText(nullptr, {});
        FAIL() << "no error";
    } catch (const tarvic::RuntimeError& e) {
        EXPECT_EQ(e.number(), 7);
    }
}

TEST(RuntimeErrorTest, TrapRecordsThePendingErrorAndRunsTheHandlerOnce)
{
    struct Case {
        std::function<void()> body;
        int32_t number;
        const char* description;
    };
    const Case cases[] = {
        {[] { tarvic::RaiseError(30009, QStringLiteral("Invalid Row value")); }, 30009,
         "Invalid Row value"},
        {[] { throw std::bad_alloc(); }, 7, "Out of memory"},
        {[] { throw std::logic_error("Bad state"); }, 51, "Bad state"},
        {[] { throw 42; }, 51, "Internal error"},
    };
    for (const Case& c : cases) {
        int handled = 0;
        const bool completed = tarvic::RunTrapped(c.body, [&] { ++handled; });
        EXPECT_FALSE(completed);
        EXPECT_EQ(handled, 1);
        EXPECT_EQ(tarvic::Err().Number, c.number);
        EXPECT_EQ(tarvic::Err().Description, QString::fromLatin1(c.description));
    }
    int handled = 0;
    EXPECT_TRUE(tarvic::RunTrapped([] {}, [&] { ++handled; }));
    EXPECT_EQ(handled, 0);
}
