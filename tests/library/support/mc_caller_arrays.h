#pragma once

// The arrays a caller of the Monte Carlo exports owns: five series of 50001
// entries and the row count, filled with sentinels so that any write shows.

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tarvic/tarvic.h"

namespace tarvic_test {

constexpr size_t kMcArraySize = TV_MAX_NODE_INDEX + 1;
constexpr double kUntouched = -12345.0;
constexpr int32_t kUntouchedCount = -7;

struct McArrays {
    std::vector<double> value = std::vector<double>(kMcArraySize, kUntouched);
    std::vector<double> delta = std::vector<double>(kMcArraySize, kUntouched);
    std::vector<double> gamma = std::vector<double>(kMcArraySize, kUntouched);
    std::vector<double> vega = std::vector<double>(kMcArraySize, kUntouched);
    std::vector<double> theta = std::vector<double>(kMcArraySize, kUntouched);
    int32_t rowCount = kUntouchedCount;

    // The rows written of one of the arrays.
    std::vector<double> rows(const std::vector<double>& array) const
    {
        return std::vector<double>(array.begin(), array.begin() + rowCount);
    }
};

inline bool untouched(const std::vector<double>& array)
{
    for (double v : array)
        if (v != kUntouched)
            return false;
    return true;
}

// Entries 0 .. rows-1 written with finite numbers, nothing after them.
inline bool writtenUpTo(const std::vector<double>& array, int32_t rows)
{
    for (int32_t i = 0; i < rows; ++i)
        if (array[static_cast<size_t>(i)] == kUntouched || !std::isfinite(array[static_cast<size_t>(i)]))
            return false;
    for (size_t i = static_cast<size_t>(rows < 0 ? 0 : rows); i < array.size(); ++i)
        if (array[i] != kUntouched)
            return false;
    return true;
}

// Each sensitivity code and method of a call like `plain` (which has run
// without sensitivities) writes the value rows of plain and exactly the
// sensitivity arrays its code asks for, with either method.
template <class Call>
void expectOnlyRequestedSensitivities(const Call& plain)
{
    struct Case {
        int32_t code, method;
        bool delta, vega, theta;
    };
    const Case cases[] = {
        {0, 1, false, false, false},  {1110, 0, false, false, false}, {1110, 3, false, false, false},
        {10, 2, false, false, true},  {100, 2, false, true, false},   {1000, 2, true, false, false},
        {110, 2, false, true, true},  {1110, 2, true, true, true},    {1110, 1, true, true, true},
        {1, 1, false, false, false},  {10, 1, false, false, true},    {100, 1, false, true, false},
        {1000, 1, true, false, false},
    };
    for (const Case& k : cases) {
        Call call = plain;
        call.greeksCode = k.code;
        call.greeksMethod = k.method;
        ASSERT_EQ(call(), "");
        const std::string what = "code " + std::to_string(k.code) + ", method " + std::to_string(k.method);
        EXPECT_EQ(call.rowCount, plain.rowCount) << what;
        EXPECT_EQ(call.rows(call.value), plain.rows(plain.value)) << what;
        EXPECT_EQ(writtenUpTo(call.delta, call.rowCount), k.delta) << what;
        EXPECT_EQ(writtenUpTo(call.gamma, call.rowCount), k.delta) << what;
        EXPECT_EQ(untouched(call.delta), !k.delta) << what;
        EXPECT_EQ(untouched(call.vega), !k.vega) << what;
        EXPECT_EQ(untouched(call.theta), !k.theta) << what;
    }
}

// A call that must fail: the whole text it returns (or its opening, for a
// text ending in "(" whose rest depends on the machine), or (whole clear) the
// argument that its "Invalid input: " text names, and how it spoils a call
// that asks for every sensitivity by finite differencing.
template <class Call>
struct McFailureCase {
    const char* text;
    bool whole;
    void (*spoil)(Call&);
};

// Each case returns its text and writes neither rowCount nor any array.
template <class Call, size_t N>
void expectFailures(const McFailureCase<Call> (&cases)[N])
{
    for (const McFailureCase<Call>& k : cases) {
        Call call;
        call.greeksCode = 1110;
        call.greeksMethod = 2;
        k.spoil(call);
        const std::string text = call();
        const std::string expected = k.text;
        if (k.whole && !expected.empty() && expected.back() == '(')
            // An opening: the amount after it is the machine's.
            EXPECT_EQ(text.compare(0, expected.size(), expected), 0) << "'" << text << "'";
        else if (k.whole)
            EXPECT_EQ(text, k.text);
        else
            EXPECT_NE(text.find(std::string("Invalid input: ") + k.text), std::string::npos)
                << "'" << text << "' should name " << k.text;
        EXPECT_EQ(call.rowCount, kUntouchedCount) << text;
        EXPECT_TRUE(untouched(call.value) && untouched(call.delta) && untouched(call.gamma) &&
                    untouched(call.vega) && untouched(call.theta))
            << text;
    }
}

}  // namespace tarvic_test
