#include <cstring>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

#include "exports/result_text.h"
#include "tarvic/counted_string.h"

namespace {

TEST(CountedString, LayoutMatchesAutomationString)
{
    const char message[] = "Grid failure";
    TvString text = tarvic::allocText(message, sizeof(message) - 1);
    ASSERT_NE(text, nullptr);
    uint32_t prefix = 0;
    std::memcpy(&prefix, text - 4, 4);
    EXPECT_EQ(prefix, sizeof(message) - 1);
    EXPECT_EQ(tvStringByteLen(text), sizeof(message) - 1);
    EXPECT_EQ(std::memcmp(text, message, sizeof(message) - 1), 0);
    EXPECT_EQ(text[sizeof(message) - 1], 0);
    EXPECT_EQ(text[sizeof(message)], 0);
    tvFreeString(text);
}

TEST(CountedString, SuccessIsNonNullAndEmpty)
{
    TvString text = tarvic::successText();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(tvStringByteLen(text), 0u);
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(text[1], 0);
    tvFreeString(text);
    tvFreeString(nullptr);
    EXPECT_EQ(tvStringByteLen(nullptr), 0u);
}

TEST(ResultText, GuardCarriesMessageBytesAndFixedTextForOthers)
{
    // 8-bit bytes pass unchanged, with nothing after the message.
    TvString text = tarvic::guardedExport([] { throw std::runtime_error("caf\xe9 failed"); });
    ASSERT_EQ(tvStringByteLen(text), 11u);
    EXPECT_EQ(std::memcmp(text, "caf\xe9 failed", 11), 0);
    tvFreeString(text);

    text = tarvic::guardedExport([] { throw 42; });
    EXPECT_STREQ(text, tarvic::kUnknownFailureText);
    EXPECT_EQ(tvStringByteLen(text), std::strlen(tarvic::kUnknownFailureText));
    tvFreeString(text);

    text = tarvic::guardedExport([] { throw std::bad_alloc(); });
    EXPECT_EQ(tvStringByteLen(text), std::strlen(std::bad_alloc().what()));
    tvFreeString(text);
}

void* noMemory(size_t) { return nullptr; }

// A failure whose text cannot be allocated still returns a text: the fixed
// out-of-memory text, which reads as a failure and which tvFreeString leaves
// alone (freeing it, even twice, releases nothing); success needs no memory.
TEST(ResultText, RunningOutOfMemoryGivesTheFixedText)
{
    TvString text = tarvic::guardedExport([] { throw std::runtime_error("grid failure"); }, noMemory);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text, tvStringByteLen(text)), tarvic::kOutOfMemoryText);
    tvFreeString(text);
    tvFreeString(text);

    text = tarvic::guardedExport([] {}, noMemory);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(tvStringByteLen(text), 0u);
    tvFreeString(text);

    // A message of the same bytes is the fixed text, so that none is ever
    // allocated with them.
    text = tarvic::guardedExport([] { throw std::runtime_error(tarvic::kOutOfMemoryText); });
    EXPECT_STREQ(text, tarvic::kOutOfMemoryText);
    tvFreeString(text);
}

TEST(Flags, OnlyTheLowByteCounts)
{
    EXPECT_FALSE(tarvic::flagSet(0));
    EXPECT_FALSE(tarvic::flagSet(256));
    EXPECT_TRUE(tarvic::flagSet(1));
    EXPECT_TRUE(tarvic::flagSet(65535));
    EXPECT_TRUE(tarvic::flagSet(-1));
}

}  // namespace
