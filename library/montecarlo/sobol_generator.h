#pragma once

// Gray-code Sobol sequence in up to 20000 dimensions, with the direction
// numbers of Joe and Kuo read from the text file "new-joe-kuo-6.21201".
//
// Point n of the sequence has the state x(n) = x(n-1) ^ V[j][c(n)] in every
// dimension j, x(0) = 0, where c(n) = 1 + (trailing one bits of n-1). The
// coordinates are x_j 2^-32 in [0, 1). Unrolling the recursion, x(n) is the
// XOR of V[j][b+1] over the set bits b of the Gray code n ^ (n >> 1), so the
// state in front of any block is found in at most 32 XORs per dimension:
// blocks can be generated in any order, on any thread, and their union is
// exactly the sequence.
//
// Typical use by an engine: build one generator from the file for the whole
// run (N = all points), record the block starts with computeBlockStarts, copy
// the direction numbers out; then on each thread build a light generator
// (block length, dimensions), give it the direction numbers and generate any
// block from its recorded start.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "montecarlo/dense_matrix.h"

namespace tarvic {

constexpr const char* kDirectionNumberFileName = "new-joe-kuo-6.21201";
constexpr int32_t kMaxSobolDimensions = 20000;
// Columns of a dimension's direction numbers: 1 .. 32 hold the numbers in use,
// column 0 stays zero.
constexpr size_t kDirectionColumns = 33;

// Texts of the failures.
constexpr const char* kDirectionFileMissingText = "Input file containing direction numbers cannot be found!";
constexpr const char* kDirectionFileCorruptText =
    "An error occured while reading the direction numbers for the Sobol generator. Make sure "
    "the input file is not corrupt.";
constexpr const char* kDirectionNumbersNotSetText = "Direction numbers have not been set";
constexpr const char* kIncompatibleDirectionNumbersText = "Incompatible direction numbers";

struct SobolDirectionTable;

class SobolGenerator {
public:
    // Reads the direction numbers for `dimensions` dimensions from the file
    // `fileName` in the first data folder that holds it (findDataFile:
    // beside the library, beside the executable, the installed data
    // folder). The file is found and read once a process and kept, read
    // only, for every later generator (read again, further, for more
    // dimensions than kept); a file missing or not valid is not kept, so
    // that it is looked for again next time. `points` is the
    // length of the stretch of the sequence that computeBlockStarts divides
    // into blocks; it fixes the bits in use, ceil(log2(2 points)).
    // Fails with kDirectionFileMissingText when the file cannot be opened and
    // with kDirectionFileCorruptText when its contents are not valid
    // direction numbers; points must be 1 .. 2^31, dimensions 1 .. 20000 and
    // at most the number of dimensions the file holds.
    SobolGenerator(uint32_t points, int32_t dimensions, const std::string& fileName);

    // The same from a file at an explicit path.
    static SobolGenerator fromPath(uint32_t points, int32_t dimensions, const std::string& path);

    // A generator without direction numbers, producing blocks of `points`
    // points (1 .. 2^32-1) in `dimensions` dimensions (1 .. 20000); call
    // setDirectionNumbers before generate.
    SobolGenerator(uint32_t points, int32_t dimensions);

    uint32_t points() const { return n_; }
    int32_t dimensions() const { return d_; }
    // Direction-number bits in use: the sequence indices 0 .. 2^bits()-1 are
    // available.
    uint32_t bits() const { return l_; }
    // Sequence index of the first point of the next block.
    uint64_t counter() const { return counter_; }
    bool hasDirectionNumbers() const { return numbersSet_; }

    // The direction numbers as a dimensions() x 33 matrix (row j = dimension j).
    // Fails with kDirectionNumbersNotSetText when there are none.
    void getDirectionNumbers(Matrix<uint32_t>& directionNumbers) const;

    // Takes direction numbers as given by getDirectionNumbers. Fails with
    // kIncompatibleDirectionNumbersText unless the matrix is dimensions() x 33.
    void setDirectionNumbers(const Matrix<uint32_t>& directionNumbers);

    // Cuts the first points() / blockPoints whole blocks of blockPoints points
    // out of the sequence and records, for block b, its first sequence index
    // (startIndices[b]) and the state of the point just before it
    // (startStates row b, dimensions() words; zero for a block at index 0).
    // With warmUp the blocks start after that many blocks of the sequence,
    // so the origin is skipped. blockPoints must be 1 .. points(). The
    // blocks' start states are found on the process's threads whatever the
    // calling engine's thread choice, once there are enough of them to pay
    // for the hand-over.
    void computeBlockStarts(uint32_t blockPoints, Matrix<uint32_t>& startStates,
                            std::vector<uint32_t>& startIndices, bool warmUp);

    // Writes the points() points with sequence indices start .. start+points()-1
    // into `points` (resized to points() x dimensions() when its shape
    // differs), starting from startState (dimensions() words: the state of
    // point start-1, or zero for start = 0). The origin (index 0) is written
    // as 0.0001 in every coordinate. The block must lie inside the indices the
    // direction numbers cover (start + points() <= 2^bits()).
    // Allocates nothing when `points` already has the shape.
    void generate(uint32_t start, const uint32_t* startState, Matrix<double>& points);

    // Block `block` of a computeBlockStarts record.
    void generate(const Matrix<uint32_t>& startStates, const std::vector<uint32_t>& startIndices,
                  size_t block, Matrix<double>& points);

private:
    struct FromFile {};
    SobolGenerator(FromFile, uint32_t points, int32_t dimensions, const std::string& path);

    // Takes the direction numbers of the bits in use from a file's table;
    // fails as the constructors say where the table lacks the dimensions.
    void setDirectionsFrom(const SobolDirectionTable& table);
    void stateBefore(uint64_t index, uint32_t* state) const;

    uint32_t n_ = 0;
    int32_t d_ = 0;
    uint32_t l_ = 0;
    uint64_t counter_ = 0;
    bool numbersSet_ = false;
    std::vector<uint32_t> x_;  // current state, one word per dimension
    // Direction numbers stored bit-major: row i (0 .. 32) holds V[.][i] of
    // every dimension, so one step XORs one contiguous row into the state.
    Matrix<uint32_t> v_;
};

}  // namespace tarvic
