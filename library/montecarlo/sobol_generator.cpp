#include "montecarlo/sobol_generator.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "common/parallel_loop.h"
#include "common/require.h"
#include "platform/data_files.h"

namespace tarvic {

namespace {

constexpr double kToUnit = 2.3283064365386963e-10;  // 2^-32
constexpr double kOrigin = 0.0001;                   // stands in for the all-zero point
constexpr uint64_t kMaxFilePoints = uint64_t(1) << 31;  // 2N must fit the 32 direction bits

[[noreturn]] void corruptFile()
{
    throw std::runtime_error(kDirectionFileCorruptText);
}

void requireDimensions(int32_t dimensions)
{
    if (dimensions < 1 || dimensions > kMaxSobolDimensions)
        fail("Invalid input: Sobol dimensions must be between 1 and " +
             std::to_string(kMaxSobolDimensions) + ".");
}

// Smallest L with 2^L >= 2 points.
uint32_t bitsFor(uint64_t points)
{
    uint32_t bits = 0;
    while ((uint64_t(1) << bits) < 2 * points)
        ++bits;
    return bits;
}

// 1-based position of the lowest zero bit of n - 1: the direction number
// that steps from point n - 1 to point n (n >= 1).
inline uint32_t stepBit(uint64_t n)
{
    return 1u + static_cast<uint32_t>(__builtin_ctzll(~(n - 1)));
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// One line of whitespace-separated unsigned 32-bit decimals; false when the
// line holds anything else.
bool parseLine(const char* begin, const char* end, std::vector<uint32_t>& values)
{
    values.clear();
    const char* p = begin;
    for (;;) {
        while (p != end && isBlank(*p))
            ++p;
        if (p == end)
            return true;
        if (*p < '0' || *p > '9')
            return false;
        uint64_t value = 0;
        while (p != end && *p >= '0' && *p <= '9') {
            value = value * 10 + static_cast<uint64_t>(*p - '0');
            if (value > 0xFFFFFFFFULL)
                return false;
            ++p;
        }
        if (p != end && !isBlank(*p))
            return false;
        values.push_back(static_cast<uint32_t>(value));
    }
}

bool hasContent(const char* begin, const char* end)
{
    return std::any_of(begin, end, [](char c) { return !isBlank(c); });
}

}  // namespace

SobolGenerator::SobolGenerator(uint32_t points, int32_t dimensions)
{
    requireAtLeast(points, 1, "Sobol points");
    requireDimensions(dimensions);
    n_ = points;
    d_ = dimensions;
    x_.assign(static_cast<size_t>(dimensions), 0u);
    v_ = Matrix<uint32_t>(kDirectionColumns, static_cast<size_t>(dimensions), 0u);
}

// The direction numbers of the first lines of a file, for all 32 bits:
// what a generator of any length takes the bits it uses from.
struct SobolDirectionTable {
    size_t lines = 0;         // lines with content read (dimensions 2 .. lines + 1)
    size_t validLines = 0;    // the leading lines that hold valid direction numbers
    bool readFailed = false;  // reading stopped on an error
    bool wholeFile = false;   // the file ended before the lines asked for
    // kDirectionColumns words per valid line: 0, then V_1 .. V_32.
    std::vector<uint32_t> numbers;

    bool sound() const { return validLines == lines && !readFailed; }
};

namespace {

// Lines a table needs at most: one per dimension after the first.
constexpr size_t kMaxTableLines = static_cast<size_t>(kMaxSobolDimensions) - 1;

// Line j (1, 2, ...) of the file as direction numbers of dimension j for
// all 32 bits, appended to `numbers`; false when the line does not hold
// valid ones.
bool appendDirections(const std::string& text, size_t j, std::vector<uint32_t>& values,
                      std::vector<uint32_t>& numbers)
{
    if (!parseLine(text.data(), text.data() + text.size(), values) || values.size() < 3)
        return false;
    const uint32_t number = values[0];
    const uint32_t s = values[1];
    const uint32_t a = values[2];
    // The file counts dimensions from 1 and starts at its second one.
    if (number != j + 1 || s < 1 || s > 32 || values.size() != 3 + static_cast<size_t>(s))
        return false;
    if (s < 32 && (a >> (s - 1)) != 0)
        return false;  // a holds the s - 1 inner coefficients of the polynomial
    for (uint32_t i = 1; i <= s; ++i) {
        const uint32_t m = values[2 + i];
        if ((m & 1u) == 0 || (i < 32 && (m >> i) != 0))
            return false;  // m_i must be odd and below 2^i
    }
    const size_t first = numbers.size();
    numbers.resize(first + kDirectionColumns, 0u);
    uint32_t* v = numbers.data() + first;
    for (uint32_t i = 1; i <= s; ++i)
        v[i] = values[2 + i] << (32 - i);
    for (uint32_t i = s + 1; i <= 32; ++i) {
        uint32_t value = v[i - s] ^ (v[i - s] >> s);
        for (uint32_t k = 1; k < s; ++k)
            if ((a >> (s - 1 - k)) & 1u)
                value ^= v[i - k];
        v[i] = value;
    }
    return true;
}

// Reads up to lineLimit lines with content after the header of the file at
// path; fails with kDirectionFileMissingText when it cannot be opened.
SobolDirectionTable readDirectionTable(const std::string& path, size_t lineLimit)
{
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file)
        throw std::runtime_error(kDirectionFileMissingText);
    SobolDirectionTable table;
    table.numbers.reserve(std::min(lineLimit, kMaxTableLines) * kDirectionColumns);
    std::vector<uint32_t> values;
    values.reserve(64);
    std::string line;
    std::getline(file, line);  // header
    while (table.lines < lineLimit && std::getline(file, line)) {
        if (!hasContent(line.data(), line.data() + line.size()))
            continue;
        ++table.lines;
        // Lines after an invalid one are counted, not read.
        if (table.validLines + 1 == table.lines &&
            appendDirections(line, table.lines, values, table.numbers))
            ++table.validLines;
    }
    table.readFailed = file.bad();
    table.wholeFile = !table.readFailed && table.lines < lineLimit;
    return table;
}

// Tables of the data files read so far, newest first, each sound and never
// changed or freed once published: readers need no lock, and a child of
// fork() finds them as they were (a table being read by another thread at
// the fork is simply read again). A file that is missing or not sound is
// not kept, so the next call looks for it again.
struct KeptTable {
    std::string name;
    std::string path;
    SobolDirectionTable table;
    const KeptTable* next;
};
std::atomic<const KeptTable*> keptTables{nullptr};

const KeptTable* newestKept(const std::string& name)
{
    for (const KeptTable* t = keptTables.load(std::memory_order_acquire); t != nullptr; t = t->next)
        if (t->name == name)
            return t;
    return nullptr;
}

// The table of the data file `name` with at least `needed` lines, or all
// the file has; `fresh` holds it where it is not kept.
const SobolDirectionTable& dataFileTable(const std::string& name, size_t needed, SobolDirectionTable& fresh)
{
    const KeptTable* kept = newestKept(name);
    if (kept != nullptr && (kept->table.lines >= needed || kept->table.wholeFile))
        return kept->table;
    // Not read yet, or too short: read again (where the file was found
    // first), twice as far as before.
    const std::string path = kept != nullptr ? kept->path : findDataFile(name);
    if (path.empty())
        throw std::runtime_error(kDirectionFileMissingText);
    const size_t before = kept != nullptr ? kept->table.lines : 0;
    const size_t ahead = std::min(std::max<size_t>(2 * before, 64), kMaxTableLines);
    fresh = readDirectionTable(path, std::max(needed, ahead));
    if (!fresh.sound())
        return fresh;
    auto* published = new KeptTable{name, path, std::move(fresh), keptTables.load(std::memory_order_acquire)};
    while (!keptTables.compare_exchange_weak(published->next, published, std::memory_order_acq_rel)) {
    }
    return published->table;
}

}  // namespace

SobolGenerator::SobolGenerator(uint32_t points, int32_t dimensions, const std::string& fileName)
    : SobolGenerator(points, dimensions)
{
    if (points > kMaxFilePoints)
        fail("Invalid input: Sobol points must be at most 2^31.");
    SobolDirectionTable fresh;
    setDirectionsFrom(dataFileTable(fileName, static_cast<size_t>(d_) - 1, fresh));
}

SobolGenerator::SobolGenerator(FromFile, uint32_t points, int32_t dimensions, const std::string& path)
    : SobolGenerator(points, dimensions)
{
    if (points > kMaxFilePoints)
        fail("Invalid input: Sobol points must be at most 2^31.");
    setDirectionsFrom(readDirectionTable(path, static_cast<size_t>(d_) - 1));
}

SobolGenerator SobolGenerator::fromPath(uint32_t points, int32_t dimensions, const std::string& path)
{
    return SobolGenerator(FromFile{}, points, dimensions, path);
}

void SobolGenerator::setDirectionsFrom(const SobolDirectionTable& table)
{
    const size_t d = static_cast<size_t>(d_);
    const size_t needed = d - 1;
    // A table reaches the lines a request needs unless the file ends first.
    if (table.lines < needed) {
        if (table.readFailed)
            corruptFile();
        fail("Invalid input: Sobol dimensions (" + std::to_string(d) + ") exceed the " +
             std::to_string(table.lines + 1) + " dimensions of the direction-number file.");
    }
    if (table.validLines < needed)
        corruptFile();

    // Dimension 0: the van der Corput sequence in base 2; the others from
    // the file, the bits in use only.
    const uint32_t bits = bitsFor(n_);
    for (uint32_t i = 1; i <= bits; ++i)
        v_(i, 0) = 1u << (32 - i);
    for (size_t j = 1; j < d; ++j) {
        const uint32_t* v = table.numbers.data() + (j - 1) * kDirectionColumns;
        for (uint32_t i = 1; i <= bits; ++i)
            v_(i, j) = v[i];
    }

    l_ = bits;
    std::fill(x_.begin(), x_.end(), 0u);
    counter_ = 0;
    numbersSet_ = true;
}

void SobolGenerator::getDirectionNumbers(Matrix<uint32_t>& directionNumbers) const
{
    if (!numbersSet_)
        throw std::runtime_error(kDirectionNumbersNotSetText);
    const size_t d = static_cast<size_t>(d_);
    directionNumbers.resize(d, kDirectionColumns);
    for (size_t j = 0; j < d; ++j)
        for (size_t i = 0; i < kDirectionColumns; ++i)
            directionNumbers(j, i) = v_(i, j);
}

void SobolGenerator::setDirectionNumbers(const Matrix<uint32_t>& directionNumbers)
{
    const size_t d = static_cast<size_t>(d_);
    if (directionNumbers.rows() != d || directionNumbers.cols() != kDirectionColumns)
        throw std::runtime_error(kIncompatibleDirectionNumbersText);
    for (size_t j = 0; j < d; ++j)
        for (size_t i = 0; i < kDirectionColumns; ++i)
            v_(i, j) = directionNumbers(j, i);
    // Dimension 0 holds 2^(32-i) in every column in use.
    uint32_t bits = 0;
    while (bits + 1 < kDirectionColumns && v_(bits + 1, 0) != 0)
        ++bits;
    l_ = bits;
    numbersSet_ = true;
}

void SobolGenerator::stateBefore(uint64_t index, uint32_t* state) const
{
    const size_t d = static_cast<size_t>(d_);
    std::fill(state, state + d, 0u);
    if (index == 0)
        return;
    // x(n) is the XOR of the direction numbers of the set bits of the Gray
    // code of n; the state in front of point index is x(index - 1).
    const uint64_t n = index - 1;
    uint64_t gray = n ^ (n >> 1);
    while (gray != 0) {
        const uint32_t bit = static_cast<uint32_t>(__builtin_ctzll(gray));
        gray &= gray - 1;
        const uint32_t* row = v_[bit + 1];
        for (size_t j = 0; j < d; ++j)
            state[j] ^= row[j];
    }
}

void SobolGenerator::computeBlockStarts(uint32_t blockPoints, Matrix<uint32_t>& startStates,
                                        std::vector<uint32_t>& startIndices, bool warmUp)
{
    if (!numbersSet_)
        throw std::runtime_error(kDirectionNumbersNotSetText);
    requireAtLeast(blockPoints, 1, "blockPoints");
    if (blockPoints > n_)
        fail("Invalid input: blockPoints must not exceed the " + std::to_string(n_) +
             " Sobol points of the generator.");
    const uint64_t blocks = n_ / blockPoints;
    const uint64_t stretch = blocks * blockPoints;
    const uint64_t first = warmUp ? stretch : 0;
    if (first + stretch > (uint64_t(1) << l_))
        fail("Invalid input: the blocks reach beyond the " + std::to_string(uint64_t(1) << l_) +
             " points that the direction numbers cover.");

    const size_t d = static_cast<size_t>(d_);
    startStates.resize(static_cast<size_t>(blocks), d);
    startIndices.assign(static_cast<size_t>(blocks), 0u);
    const bool parallel = blocks > 1 && blocks * d * l_ > 65536;
    const int64_t count = static_cast<int64_t>(blocks);
    forEachPlane(count, parallelThreads(count, parallel), [&](int64_t b) {
        const uint64_t index = first + static_cast<uint64_t>(b) * blockPoints;
        startIndices[static_cast<size_t>(b)] = static_cast<uint32_t>(index);
        stateBefore(index, startStates[static_cast<size_t>(b)]);
    });
    counter_ = first + stretch;
    stateBefore(counter_, x_.data());
}

void SobolGenerator::generate(uint32_t start, const uint32_t* startState, Matrix<double>& points)
{
    const size_t d = static_cast<size_t>(d_);
    const size_t n = static_cast<size_t>(n_);
    points.resize(n, d);
    if (!numbersSet_)
        throw std::runtime_error(kDirectionNumbersNotSetText);
    if (startState == nullptr)
        fail("Invalid input: startState must hold the Sobol dimensions' state words.");
    if (static_cast<uint64_t>(start) + n_ > (uint64_t(1) << l_))
        fail("Invalid input: the block at start " + std::to_string(start) + " of " +
             std::to_string(n_) + " points reaches beyond the " +
             std::to_string(uint64_t(1) << l_) + " points that the direction numbers cover.");

    uint32_t* x = x_.data();
    std::copy(startState, startState + d, x);
    size_t first = 0;
    if (start == 0) {
        double* origin = points[0];
        std::fill(origin, origin + d, kOrigin);
        first = 1;
    }
    for (size_t i = first; i < n; ++i) {
        const uint32_t* direction = v_[stepBit(static_cast<uint64_t>(start) + i)];
        double* out = points[i];
        for (size_t j = 0; j < d; ++j) {
            x[j] ^= direction[j];
            out[j] = static_cast<double>(x[j]) * kToUnit;
        }
    }
    counter_ = static_cast<uint64_t>(start) + n_;
}

void SobolGenerator::generate(const Matrix<uint32_t>& startStates, const std::vector<uint32_t>& startIndices,
                              size_t block, Matrix<double>& points)
{
    if (startStates.cols() != static_cast<size_t>(d_) || startStates.rows() != startIndices.size())
        fail("Invalid input: startStates must hold one row of " + std::to_string(d_) +
             " words per start index.");
    if (block >= startIndices.size())
        fail("Invalid input: block " + std::to_string(block) + " is outside the " +
             std::to_string(startIndices.size()) + " recorded blocks.");
    generate(startIndices[block], startStates[block], points);
}

}  // namespace tarvic
