#include "montecarlo/sobol_generator.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "platform/data_files.h"

namespace tarvic {
namespace {

constexpr double kTwo32 = 4294967296.0;

// Header and the lines of dimensions 1 .. 7 as the published file has them.
const char* const kHeader = "d       s       a       m_i     \n";
const char* const kLines[] = {
    "2       1       0       1 \n",
    "3       2       1       1 3 \n",
    "4       3       1       1 3 1 \n",
    "5       3       2       1 1 1 \n",
    "6       4       1       1 1 3 3 \n",
    "7       4       4       1 3 5 13 \n",
    "8       5       2       1 1 5 5 17 \n",
};

std::string writeFile(const std::string& name, const std::string& text)
{
    const std::string path = ::testing::TempDir() + name;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    return path;
}

std::string smallFile(size_t lines)
{
    std::string text = kHeader;
    for (size_t j = 0; j < lines; ++j)
        text += kLines[j];
    return text;
}

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "(no exception)";
}

// Direction numbers of one dimension from its primitive polynomial (degree s,
// inner coefficients a) and initial numbers m, for `bits` bits.
std::vector<uint32_t> referenceDirections(uint32_t s, uint32_t a, const std::vector<uint32_t>& m, uint32_t bits)
{
    std::vector<uint32_t> v(bits + 1, 0);
    for (uint32_t i = 1; i <= bits; ++i) {
        if (i <= s) {
            v[i] = m[i - 1] << (32 - i);
            continue;
        }
        v[i] = v[i - s] ^ (v[i - s] >> s);
        for (uint32_t k = 1; k < s; ++k)
            if ((a >> (s - 1 - k)) & 1u)
                v[i] ^= v[i - k];
    }
    return v;
}

// Point n in Gray-code order, computed directly: the XOR of the direction
// numbers of the set bits of n ^ (n >> 1).
double referenceCoordinate(const std::vector<uint32_t>& v, uint32_t n)
{
    const uint32_t gray = n ^ (n >> 1);
    uint32_t x = 0;
    for (uint32_t b = 0; b < 32; ++b)
        if ((gray >> b) & 1u)
            x ^= v[b + 1];
    return x / kTwo32;
}

TEST(SobolGenerator, FirstPointsOfTheFirstSixDimensions)
{
    SobolGenerator generator(8, 6, kDirectionNumberFileName);
    Matrix<double> points;
    const std::vector<uint32_t> zero(6, 0);
    generator.generate(0, zero.data(), points);
    ASSERT_EQ(points.rows(), 8u);
    ASSERT_EQ(points.cols(), 6u);
    const double expected[4][6] = {
        {0.0001, 0.0001, 0.0001, 0.0001, 0.0001, 0.0001},  // the origin, moved off 0
        {0.5, 0.5, 0.5, 0.5, 0.5, 0.5},
        {0.75, 0.25, 0.25, 0.25, 0.75, 0.75},
        {0.25, 0.75, 0.75, 0.75, 0.25, 0.25},
    };
    for (size_t i = 0; i < 4; ++i)
        for (size_t j = 0; j < 6; ++j)
            EXPECT_EQ(points(i, j), expected[i][j]) << "point " << i << ", dimension " << j;
}

TEST(SobolGenerator, PointsAgreeWithTheDirectGrayCodeFormula)
{
    const uint32_t count = 1024;
    const uint32_t bits = 11;
    std::vector<std::vector<uint32_t>> v;
    v.push_back(referenceDirections(1, 0, {1}, bits));  // dimension 0: 2^(32-i)
    for (uint32_t i = 1; i <= bits; ++i)
        v[0][i] = 1u << (32 - i);
    v.push_back(referenceDirections(1, 0, {1}, bits));
    v.push_back(referenceDirections(2, 1, {1, 3}, bits));
    v.push_back(referenceDirections(3, 1, {1, 3, 1}, bits));
    v.push_back(referenceDirections(3, 2, {1, 1, 1}, bits));
    v.push_back(referenceDirections(4, 1, {1, 1, 3, 3}, bits));
    v.push_back(referenceDirections(4, 4, {1, 3, 5, 13}, bits));
    v.push_back(referenceDirections(5, 2, {1, 1, 5, 5, 17}, bits));

    // The published file and the small copy (with Windows line ends) agree.
    std::string crlf;
    for (char c : smallFile(7)) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    const std::string path = writeFile("sobol_crlf.txt", crlf);
    SobolGenerator fromData(count, 8, kDirectionNumberFileName);
    SobolGenerator fromCopy = SobolGenerator::fromPath(count, 8, path);
    EXPECT_EQ(fromData.bits(), bits);
    Matrix<double> points, copyPoints;
    const std::vector<uint32_t> zero(8, 0);
    fromData.generate(0, zero.data(), points);
    fromCopy.generate(0, zero.data(), copyPoints);
    for (uint32_t n = 1; n < count; ++n)
        for (size_t j = 0; j < 8; ++j) {
            ASSERT_EQ(points(n, j), referenceCoordinate(v[j], n)) << "point " << n << ", dimension " << j;
            ASSERT_EQ(copyPoints(n, j), points(n, j));
        }
}

// The first 2^m points of a Sobol sequence are a (0, m, 1)-net in every
// dimension, and the first two dimensions form a (0, m, 2)-net: every box
// [i 2^-a, (i+1) 2^-a) x [k 2^-b, (k+1) 2^-b) with a + b = m holds one point.
TEST(SobolGenerator, FirstPowerOfTwoPointsFormNets)
{
    const uint32_t m = 10, count = 1u << m;
    const int32_t dims = 40;
    SobolGenerator generator(count, dims, kDirectionNumberFileName);
    Matrix<double> points;
    const std::vector<uint32_t> zero(dims, 0);
    generator.generate(0, zero.data(), points);
    auto cell = [&](uint32_t n, size_t j, uint32_t bits) {
        const double x = n == 0 ? 0.0 : points(n, j);
        return static_cast<uint32_t>(x * (1u << bits));
    };
    for (size_t j = 0; j < static_cast<size_t>(dims); ++j) {
        std::set<uint32_t> seen;
        for (uint32_t n = 0; n < count; ++n) {
            if (n > 0) {  // on the grid of 2^-m
                ASSERT_EQ(points(n, j) * count, std::floor(points(n, j) * count));
            }
            seen.insert(cell(n, j, m));
        }
        EXPECT_EQ(seen.size(), count) << "dimension " << j;
    }
    for (uint32_t a = 0; a <= m; ++a) {
        std::set<uint32_t> boxes;
        for (uint32_t n = 0; n < count; ++n)
            boxes.insert((cell(n, 0, a) << (m - a)) | cell(n, 1, m - a));
        EXPECT_EQ(boxes.size(), count) << "split " << a << " + " << m - a;
    }
}

TEST(SobolGenerator, BitsInUseCoverTwiceThePoints)
{
    const std::string path = writeFile("sobol_header_only.txt", kHeader);
    struct Case {
        uint32_t points, bits;
    };
    for (const Case& c : {Case{1, 1}, Case{2, 2}, Case{3, 3}, Case{4096, 13}, Case{4097, 14},
                          Case{1u << 31, 32}}) {
        // One dimension reads no line after the header.
        SobolGenerator generator = SobolGenerator::fromPath(c.points, 1, path);
        EXPECT_EQ(generator.bits(), c.bits) << c.points << " points";
        EXPECT_TRUE(generator.hasDirectionNumbers());
    }
    EXPECT_NE(messageOf([&] { SobolGenerator::fromPath((1u << 31) + 1, 1, path); }).find("Sobol points"),
              std::string::npos);
}

// One long run of the sequence, cut into the recorded blocks.
class SobolBlocks : public ::testing::TestWithParam<bool> {};

TEST_P(SobolBlocks, BlocksFromRecordedStartsReproduceOneLongRun)
{
    const bool warmUp = GetParam();
    const int32_t dims = 9;
    const uint32_t total = 4096, block = 256, blocks = total / block;
    SobolGenerator master(total, dims, kDirectionNumberFileName);
    Matrix<uint32_t> startStates;
    std::vector<uint32_t> startIndices;
    master.computeBlockStarts(block, startStates, startIndices, warmUp);
    ASSERT_EQ(startIndices.size(), blocks);
    ASSERT_EQ(startStates.rows(), blocks);
    ASSERT_EQ(startStates.cols(), static_cast<size_t>(dims));
    EXPECT_EQ(master.counter(), (warmUp ? 2u : 1u) * total);
    Matrix<uint32_t> directions;
    master.getDirectionNumbers(directions);

    SobolGenerator longRun(2 * total, dims);
    longRun.setDirectionNumbers(directions);
    Matrix<double> all;
    const std::vector<uint32_t> zero(dims, 0);
    longRun.generate(0, zero.data(), all);

    // Blocks in reverse order through one reused generator: no block depends
    // on the one generated before it.
    SobolGenerator worker(block, dims);
    worker.setDirectionNumbers(directions);
    Matrix<double> points;
    for (size_t b = blocks; b-- > 0;) {
        EXPECT_EQ(startIndices[b], (warmUp ? total : 0u) + b * block);
        worker.generate(startStates, startIndices, b, points);
        for (uint32_t i = 0; i < block; ++i)
            for (size_t j = 0; j < static_cast<size_t>(dims); ++j) {
                ASSERT_EQ(points(i, j), all(startIndices[b] + i, j)) << "block " << b << ", point " << i;
                if (warmUp) {
                    ASSERT_NE(points(i, j), 0.0001);
                }
            }
    }
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutWarmUp, SobolBlocks, ::testing::Bool());

TEST(SobolGenerator, BlocksOfAnUnevenStretchLeaveTheRemainderOut)
{
    SobolGenerator master(1000, 3, kDirectionNumberFileName);
    Matrix<uint32_t> startStates;
    std::vector<uint32_t> startIndices;
    master.computeBlockStarts(300, startStates, startIndices, true);
    EXPECT_EQ(startIndices, (std::vector<uint32_t>{900, 1200, 1500}));
    Matrix<uint32_t> directions;
    master.getDirectionNumbers(directions);
    SobolGenerator longRun(1800, 3), worker(300, 3);
    longRun.setDirectionNumbers(directions);
    worker.setDirectionNumbers(directions);
    Matrix<double> all, points;
    const std::vector<uint32_t> zero(3, 0);
    longRun.generate(0, zero.data(), all);
    worker.generate(startStates, startIndices, 2, points);
    for (uint32_t i = 0; i < 300; ++i)
        for (size_t j = 0; j < 3; ++j)
            ASSERT_EQ(points(i, j), all(1500 + i, j));
}

TEST(SobolGenerator, GeneratorsAreValuesAndReuseThePointMatrix)
{
    SobolGenerator master(64, 5, kDirectionNumberFileName);
    Matrix<double> first, second;
    const std::vector<uint32_t> zero(5, 0);
    SobolGenerator copy = master;
    master.generate(0, zero.data(), first);
    copy.generate(0, zero.data(), second);
    EXPECT_EQ(std::vector<double>(first.data(), first.data() + first.size()),
              std::vector<double>(second.data(), second.data() + second.size()));
    const double* storage = first.data();
    master.generate(0, zero.data(), first);
    EXPECT_EQ(first.data(), storage);
    EXPECT_EQ(master.counter(), 64u);

    Matrix<uint32_t> out, back;
    master.getDirectionNumbers(out);
    ASSERT_EQ(out.rows(), 5u);
    ASSERT_EQ(out.cols(), kDirectionColumns);
    SobolGenerator light(64, 5);
    EXPECT_FALSE(light.hasDirectionNumbers());
    light.setDirectionNumbers(out);
    light.getDirectionNumbers(back);
    EXPECT_EQ(light.bits(), master.bits());
    EXPECT_EQ(std::vector<uint32_t>(out.data(), out.data() + out.size()),
              std::vector<uint32_t>(back.data(), back.data() + back.size()));
    for (size_t j = 0; j < 5; ++j)
        EXPECT_EQ(out(j, 0), 0u) << "column 0 stays zero";
}

TEST(SobolGenerator, MissingFileIsReportedByItsText)
{
    EXPECT_EQ(messageOf([] { SobolGenerator::fromPath(16, 4, ::testing::TempDir() + "no-such-file"); }),
              kDirectionFileMissingText);
    EXPECT_EQ(messageOf([] { SobolGenerator(16, 4, "no-such-direction-numbers"); }), kDirectionFileMissingText);
    EXPECT_EQ(std::string(kDirectionFileMissingText), "Input file containing direction numbers cannot be found!");
}

TEST(SobolGenerator, CorruptFilesAreReportedByTheCorruptFileText)
{
    struct Case {
        const char* what;
        size_t line;  // index into kLines
        const char* replacement;
    };
    const Case cases[] = {
        {"wrong dimension number", 0, "3 1 0 1\n"},
        {"degree 0", 0, "2 0 0\n"},
        {"degree beyond 32 bits", 0, "2 40 0 1\n"},
        {"coefficients beyond the degree", 1, "3 2 2 1 3\n"},
        {"even direction number", 1, "3 2 1 1 2\n"},
        {"direction number not below 2^i", 1, "3 2 1 1 5\n"},
        {"line cut short", 2, "4 3 1 1 3\n"},
        {"line cut inside the fixed fields", 2, "4 3\n"},
        {"extra number", 0, "2 1 0 1 7\n"},
        {"not a number", 0, "2 1 0 x\n"},
        {"negative number", 3, "5 3 2 1 -1 1\n"},
        {"number beyond 32 bits", 0, "2 1 0 99999999999\n"},
        {"decimal number", 0, "2 1 0 1.0\n"},
        {"binary garbage", 4, "6 4 1 1 \x01\x02 3 3\n"},
    };
    for (const Case& c : cases) {
        std::string text = kHeader;
        for (size_t j = 0; j < 5; ++j)
            text += j == c.line ? c.replacement : kLines[j];
        const std::string path = writeFile("sobol_corrupt.txt", text);
        EXPECT_EQ(messageOf([&] { SobolGenerator::fromPath(16, 6, path); }), kDirectionFileCorruptText) << c.what;
    }
    EXPECT_EQ(std::string(kDirectionFileCorruptText),
              "An error occured while reading the direction numbers for the Sobol generator. "
              "Make sure the input file is not corrupt.");
}

TEST(SobolGenerator, DimensionsBeyondTheFileOrTheStateAreRefusedBeforeReading)
{
    const std::string path = writeFile("sobol_short.txt", smallFile(3));
    EXPECT_NO_THROW(SobolGenerator::fromPath(16, 4, path));
    EXPECT_EQ(messageOf([&] { SobolGenerator::fromPath(16, 5, path); }),
              "Invalid input: Sobol dimensions (5) exceed the 4 dimensions of the direction-number file.");
    // Checked before the file is looked for.
    for (int32_t dims : {0, -3, 20001}) {
        EXPECT_EQ(messageOf([&] { SobolGenerator(16, dims, "no-such-file"); }),
                  "Invalid input: Sobol dimensions must be between 1 and 20000.")
            << dims;
        EXPECT_EQ(messageOf([&] { SobolGenerator(16, dims); }),
                  "Invalid input: Sobol dimensions must be between 1 and 20000.")
            << dims;
    }
    EXPECT_EQ(messageOf([] { SobolGenerator(0, 3); }), "Invalid input: Sobol points must be at least 1.");
    EXPECT_EQ(messageOf([] { SobolGenerator(0, 3, kDirectionNumberFileName); }),
              "Invalid input: Sobol points must be at least 1.");
}

// The direction numbers of a generator, row j = dimension j.
Matrix<uint32_t> directionsOf(const SobolGenerator& generator)
{
    Matrix<uint32_t> directions;
    generator.getDirectionNumbers(directions);
    return directions;
}

bool sameNumbers(const Matrix<uint32_t>& a, const Matrix<uint32_t>& b)
{
    if (a.rows() != b.rows() || a.cols() != b.cols())
        return false;
    for (size_t j = 0; j < a.rows(); ++j)
        for (size_t i = 0; i < a.cols(); ++i)
            if (a(j, i) != b(j, i))
                return false;
    return true;
}

TEST(SobolGenerator, TheDataFileIsReadOnceAProcessAndLookedForAgainUntilItIsSound)
{
    // A data file of this test's own beside the program, where the lookup
    // finds it.
    const std::string name = "sobol-directions-test-" + std::to_string(getpid());
    const std::string path = executableFolder() + name;
    ASSERT_FALSE(executableFolder().empty());
    const auto write = [&](const std::string& text) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << text;
    };

    EXPECT_EQ(messageOf([&] { SobolGenerator(16, 4, name); }), kDirectionFileMissingText);
    std::string corrupt = smallFile(7);
    corrupt.replace(corrupt.find("2       1       0       1"), 25, "3       1       0       1");
    write(corrupt);
    EXPECT_EQ(messageOf([&] { SobolGenerator(16, 4, name); }), kDirectionFileCorruptText);
    // Installed or mended after a failure: found and read.
    write(smallFile(7));
    const Matrix<uint32_t> fromFile = directionsOf(SobolGenerator::fromPath(1u << 20, 8, path));
    EXPECT_TRUE(sameNumbers(directionsOf(SobolGenerator(1u << 20, 8, name)), fromFile));
    std::remove(path.c_str());

    // Read once: gone from the disk, still there, for any length, in a
    // child of fork() too; and the dimensions beyond it refused as before.
    EXPECT_TRUE(sameNumbers(directionsOf(SobolGenerator(1u << 20, 8, name)), fromFile));
    const Matrix<uint32_t> short16 = directionsOf(SobolGenerator(16, 8, name));
    for (size_t j = 0; j < 8; ++j)
        for (size_t i = 0; i < kDirectionColumns; ++i)
            ASSERT_EQ(short16(j, i), i <= 5 ? fromFile(j, i) : 0u) << "dimension " << j << ", bit " << i;
    EXPECT_EQ(messageOf([&] { SobolGenerator(16, 9, name); }),
              "Invalid input: Sobol dimensions (9) exceed the 8 dimensions of the direction-number file.");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(sameNumbers(directionsOf(SobolGenerator(1u << 20, 8, name)), fromFile) ? 0 : 1);
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child did not find the numbers";
}

TEST(SobolGenerator, KeptNumbersAreTheFilesBitsForEveryRequest)
{
    // Requests that read the file further and further, from several threads
    // at once, against the file read afresh for each.
    const std::string path = findDataFile(kDirectionNumberFileName);
    ASSERT_FALSE(path.empty());
    const struct {
        uint32_t points;
        int32_t dimensions;
    } requests[] = {{1, 1}, {1000, 3}, {1u << 31, 70}, {5, 200}, {1u << 20, 1500}, {1024, 20000}};
    for (const auto& r : requests) {
        const Matrix<uint32_t> expected = directionsOf(SobolGenerator::fromPath(r.points, r.dimensions, path));
        std::vector<Matrix<uint32_t>> kept(4);
        std::vector<std::thread> threads;
        for (Matrix<uint32_t>& k : kept)
            threads.emplace_back([&k, &r] {
                k = directionsOf(SobolGenerator(r.points, r.dimensions, kDirectionNumberFileName));
            });
        for (std::thread& t : threads)
            t.join();
        for (const Matrix<uint32_t>& k : kept)
            EXPECT_TRUE(sameNumbers(k, expected)) << r.points << " points, " << r.dimensions << " dimensions";
    }
}

TEST(SobolGenerator, TheFullStateOfTwentyThousandDimensionsReads)
{
    SobolGenerator generator(4, kMaxSobolDimensions, kDirectionNumberFileName);
    Matrix<double> points;
    const std::vector<uint32_t> zero(kMaxSobolDimensions, 0);
    generator.generate(0, zero.data(), points);
    for (size_t j = 0; j < static_cast<size_t>(kMaxSobolDimensions); ++j)
        ASSERT_EQ(points(1, j), 0.5) << "dimension " << j;  // m_1 = 1 everywhere
}

TEST(SobolGenerator, MisuseOfTheGeneratorFailsWithItsText)
{
    SobolGenerator light(32, 3);
    Matrix<double> points;
    Matrix<uint32_t> directions, states;
    std::vector<uint32_t> indices;
    const std::vector<uint32_t> zero(3, 0);
    EXPECT_EQ(messageOf([&] { light.generate(0, zero.data(), points); }), kDirectionNumbersNotSetText);
    EXPECT_EQ(messageOf([&] { light.getDirectionNumbers(directions); }), kDirectionNumbersNotSetText);
    EXPECT_EQ(messageOf([&] { light.computeBlockStarts(8, states, indices, false); }), kDirectionNumbersNotSetText);
    EXPECT_EQ(messageOf([&] { light.setDirectionNumbers(Matrix<uint32_t>(4, kDirectionColumns)); }),
              kIncompatibleDirectionNumbersText);
    EXPECT_EQ(messageOf([&] { light.setDirectionNumbers(Matrix<uint32_t>(3, 32)); }),
              kIncompatibleDirectionNumbersText);

    SobolGenerator master(256, 3, kDirectionNumberFileName);  // covers 512 points
    EXPECT_NE(messageOf([&] { master.computeBlockStarts(0, states, indices, false); }).find("blockPoints"),
              std::string::npos);
    EXPECT_NE(messageOf([&] { master.computeBlockStarts(257, states, indices, false); }).find("blockPoints"),
              std::string::npos);
    master.computeBlockStarts(32, states, indices, true);
    master.getDirectionNumbers(directions);
    light.setDirectionNumbers(directions);
    EXPECT_NO_THROW(light.generate(512 - 32, states[7], points));
    EXPECT_NE(messageOf([&] { light.generate(512 - 31, states[7], points); }).find("beyond the 512 points"),
              std::string::npos);
    EXPECT_NE(messageOf([&] { light.generate(4294967295u, states[7], points); }).find("beyond"),
              std::string::npos);
    EXPECT_NE(messageOf([&] { light.generate(states, indices, 8, points); }).find("block 8"), std::string::npos);
    EXPECT_NE(messageOf([&] { light.generate(Matrix<uint32_t>(8, 2), indices, 0, points); }).find("startStates"),
              std::string::npos);
    EXPECT_NE(messageOf([&] { light.generate(0, nullptr, points); }).find("startState"), std::string::npos);
}

}  // namespace
}  // namespace tarvic
