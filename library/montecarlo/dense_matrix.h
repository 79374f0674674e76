#pragma once

// Dense containers of the Monte Carlo code: a row-major matrix in one
// contiguous block and a vector. Both are value types (deep copy, move);
// an element is reached through its row start and column index with no
// per-row allocation. Sizes are size_t; a shape whose element count does not
// fit in memory is refused before anything is allocated.

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "common/require.h"

namespace tarvic {

// Number of elements of a rows x cols block; fails when the product overflows.
inline size_t checkedElementCount(size_t rows, size_t cols, size_t elementSize, const char* name)
{
    if (rows != 0 && cols > std::numeric_limits<size_t>::max() / rows)
        fail(std::string("Invalid input: ") + name + " has too many elements.");
    const size_t count = rows * cols;
    if (elementSize != 0 && count > std::numeric_limits<std::ptrdiff_t>::max() / elementSize)
        fail(std::string("Invalid input: ") + name + " has too many elements.");
    return count;
}

template <class T>
class Matrix {
public:
    Matrix() = default;

    // rows x cols elements, value-initialised (zero for numbers).
    Matrix(size_t rows, size_t cols)
        : rows_(rows), cols_(cols), data_(checkedElementCount(rows, cols, sizeof(T), "matrix"))
    {
    }

    Matrix(size_t rows, size_t cols, const T& value)
        : rows_(rows), cols_(cols), data_(checkedElementCount(rows, cols, sizeof(T), "matrix"), value)
    {
    }

    size_t rows() const { return rows_; }
    size_t cols() const { return cols_; }
    size_t size() const { return data_.size(); }
    bool empty() const { return data_.empty(); }

    // Start of row i (cols() elements). No bounds check: hot loops use it.
    T* operator[](size_t i) { return data_.data() + i * cols_; }
    const T* operator[](size_t i) const { return data_.data() + i * cols_; }

    T& operator()(size_t i, size_t j) { return data_[i * cols_ + j]; }
    const T& operator()(size_t i, size_t j) const { return data_[i * cols_ + j]; }

    // The whole block, row after row.
    T* data() { return data_.data(); }
    const T* data() const { return data_.data(); }

    // Gives the matrix the shape rows x cols. Nothing happens (and nothing is
    // allocated) when the shape is already that; otherwise the contents are
    // not kept.
    void resize(size_t rows, size_t cols)
    {
        if (rows == rows_ && cols == cols_)
            return;
        const size_t count = checkedElementCount(rows, cols, sizeof(T), "matrix");
        data_.assign(count, T());
        rows_ = rows;
        cols_ = cols;
    }

private:
    size_t rows_ = 0;
    size_t cols_ = 0;
    std::vector<T> data_;
};

template <class T>
class Vector {
public:
    Vector() = default;
    explicit Vector(size_t size) : data_(checkedElementCount(size, 1, sizeof(T), "vector")) {}
    Vector(size_t size, const T& value)
        : data_(checkedElementCount(size, 1, sizeof(T), "vector"), value)
    {
    }

    size_t size() const { return data_.size(); }
    bool empty() const { return data_.empty(); }

    T& operator[](size_t i) { return data_[i]; }
    const T& operator[](size_t i) const { return data_[i]; }

    T* data() { return data_.data(); }
    const T* data() const { return data_.data(); }

    // Gives the vector size elements; nothing happens when it has them already,
    // otherwise the contents are not kept.
    void resize(size_t size)
    {
        if (size == data_.size())
            return;
        data_.assign(checkedElementCount(size, 1, sizeof(T), "vector"), T());
    }

private:
    std::vector<T> data_;
};

// Row i of a matrix as a new vector of cols() entries.
template <class T>
Vector<T> copyRow(const Matrix<T>& matrix, size_t i)
{
    if (i >= matrix.rows())
        fail("Invalid input: row index " + std::to_string(i) + " is outside a matrix of " +
             std::to_string(matrix.rows()) + " rows.");
    Vector<T> row(matrix.cols());
    const T* source = matrix[i];
    for (size_t j = 0; j < matrix.cols(); ++j)
        row[j] = source[j];
    return row;
}

}  // namespace tarvic
