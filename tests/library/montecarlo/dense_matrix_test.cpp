#include "montecarlo/dense_matrix.h"

#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace tarvic {
namespace {

TEST(DenseMatrix, RowsLieInOneRowMajorBlock)
{
    Matrix<double> a(3, 4, 2.5);
    ASSERT_EQ(a.rows(), 3u);
    ASSERT_EQ(a.cols(), 4u);
    EXPECT_EQ(a.size(), 12u);
    for (size_t i = 0; i < 3; ++i)
        for (size_t j = 0; j < 4; ++j) {
            EXPECT_EQ(a(i, j), 2.5);
            a[i][j] = 10.0 * i + j;
        }
    EXPECT_EQ(a[1], a.data() + 4);
    EXPECT_EQ(a.data()[2 * 4 + 3], 23.0);
    EXPECT_EQ(a(2, 3), 23.0);

    const Matrix<uint32_t> zeros(2, 33);
    for (size_t k = 0; k < zeros.size(); ++k)
        EXPECT_EQ(zeros.data()[k], 0u);
    EXPECT_TRUE(Matrix<double>().empty());
    EXPECT_TRUE(Matrix<double>(0, 5).empty());
}

TEST(DenseMatrix, CopiesAreDeepAndResizeKeepsAMatchingShape)
{
    Matrix<double> a(2, 2, 1.0);
    Matrix<double> b = a;
    b(0, 0) = 7.0;
    EXPECT_EQ(a(0, 0), 1.0);

    const double* storage = a.data();
    a(1, 1) = 5.0;
    a.resize(2, 2);  // same shape: nothing happens
    EXPECT_EQ(a.data(), storage);
    EXPECT_EQ(a(1, 1), 5.0);
    a.resize(3, 5);
    EXPECT_EQ(a.rows(), 3u);
    EXPECT_EQ(a.cols(), 5u);
    EXPECT_EQ(a.size(), 15u);
}

TEST(DenseMatrix, VectorsAndRowCopies)
{
    Matrix<double> a(2, 3);
    for (size_t j = 0; j < 3; ++j)
        a(1, j) = j + 0.5;
    const Vector<double> row = copyRow(a, 1);
    ASSERT_EQ(row.size(), 3u);
    for (size_t j = 0; j < 3; ++j)
        EXPECT_EQ(row[j], j + 0.5);
    Vector<double> copy = row;
    copy[0] = -1.0;
    EXPECT_EQ(row[0], 0.5);
    EXPECT_EQ(Vector<double>(4, 2.0)[3], 2.0);
    EXPECT_THROW(copyRow(a, 2), std::invalid_argument);
}

TEST(DenseMatrix, ShapesBeyondMemoryAreRefusedBeforeAllocating)
{
    const size_t huge = std::numeric_limits<size_t>::max() / 2;
    auto matrix = [](size_t rows, size_t cols) { return Matrix<double>(rows, cols); };
    EXPECT_THROW(matrix(huge, 3), std::invalid_argument);
    EXPECT_THROW(matrix(1, huge), std::invalid_argument);
    Matrix<uint32_t> m;
    EXPECT_THROW(m.resize(size_t(1) << 33, size_t(1) << 33), std::invalid_argument);
    auto vector = [](size_t size) { return Vector<double>(size); };
    EXPECT_THROW(vector(huge), std::invalid_argument);
}

}  // namespace
}  // namespace tarvic
