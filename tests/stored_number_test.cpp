#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "pricedb/stored_number.h"

namespace tarvel {
namespace {

TEST(StoredNumber, EncodesWorkedValuesAndDecodesThemBack) {
    struct Case {
        float value;
        StoredNumber stored;
    };
    const Case cases[] = {
        {1.0f, {0x00, 0x00, 0x00, 0x81}},   {-1.0f, {0x00, 0x00, 0x80, 0x81}},
        {0.5f, {0x00, 0x00, 0x00, 0x80}},   {10.0f, {0x00, 0x00, 0x20, 0x84}},
        {100.25f, {0x00, 0x80, 0x48, 0x87}}, {1000101.0f, {0x50, 0x2A, 0x74, 0x94}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(EncodeStoredNumber(c.value), c.stored);
        EXPECT_EQ(DecodeStoredNumber(c.stored), c.value);
    }
}

TEST(StoredNumber, ZerosAndNanStoreFourZeroBytes) {
    const StoredNumber zero{0, 0, 0, 0};
    EXPECT_EQ(EncodeStoredNumber(0.0f), zero);
    EXPECT_EQ(EncodeStoredNumber(-0.0f), zero);
    EXPECT_EQ(EncodeStoredNumber(std::numeric_limits<float>::quiet_NaN()), zero);
    // Exponent byte 0 means zero whatever the other bytes hold.
    float decoded = DecodeStoredNumber({0x12, 0x34, 0xD6, 0x00});
    EXPECT_EQ(decoded, 0.0f);
    EXPECT_FALSE(std::signbit(decoded));
}

TEST(StoredNumber, HugeValuesAndInfinitiesClampInsteadOfWrapping) {
    const StoredNumber largest{0xFF, 0xFF, 0x7F, 0xFF};
    const StoredNumber smallest{0xFF, 0xFF, 0xFF, 0xFF};
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(EncodeStoredNumber(inf), largest);
    EXPECT_EQ(EncodeStoredNumber(std::ldexp(1.0f, 127)), largest);
    EXPECT_EQ(EncodeStoredNumber(std::numeric_limits<float>::max()), largest);
    EXPECT_EQ(EncodeStoredNumber(-inf), smallest);
    // The largest magnitude that has a faithful stored form is kept exactly.
    float below = std::nextafter(std::ldexp(1.0f, 127), 0.0f);
    EXPECT_EQ(EncodeStoredNumber(below), largest);
    EXPECT_EQ(DecodeStoredNumber(largest), below);
}

TEST(StoredNumber, MagnitudesBelowTheSmallestNormalStoreZero) {
    const StoredNumber zero{0, 0, 0, 0};
    // Readers misread exponent bytes 1 and 2, which only these would take.
    for (float tiny : {1e-40f, -1e-45f, std::ldexp(1.5f, -128), -std::ldexp(1.0f, -127), std::ldexp(1.99f, -127)}) {
        SCOPED_TRACE(tiny);
        EXPECT_EQ(EncodeStoredNumber(tiny), zero);
    }
    // The smallest normal float: exponent byte 3.
    EXPECT_EQ(EncodeStoredNumber(std::ldexp(1.0f, -126)), (StoredNumber{0, 0, 0, 3}));
}

TEST(StoredNumber, EveryNormalFloatRoundTrips) {
    // A sample of bit patterns across the whole normal range.
    for (std::uint32_t bits = 0x00800000; bits < 0x7F000000; bits += 0x00012345) {
        float value = std::bit_cast<float>(bits);
        ASSERT_EQ(DecodeStoredNumber(EncodeStoredNumber(value)), value) << bits;
        ASSERT_EQ(DecodeStoredNumber(EncodeStoredNumber(-value)), -value) << bits;
    }
}

TEST(DateNumber, WorkedDates) {
    struct Case {
        int year, month, day;
        std::uint16_t number;
    };
    const Case cases[] = {
        {61, 1, 1, 1},         {1961, 1, 1, 1},     {100, 1, 1, 14245}, {2000, 1, 1, 14245},
        {200, 2, 29, 50829},   {99, 2, 30, 13940},  {101, 3, 0, 14669}, {240, 6, 4, 65535},
        {2140, 6, 4, 65535},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
        EXPECT_EQ(MakeDateNumber(static_cast<std::int16_t>(c.year), static_cast<std::int16_t>(c.month),
                                 static_cast<std::int16_t>(c.day)),
                  c.number);
    }
}

TEST(DateNumber, OutOfRangeDatesHaveNoDateNumber) {
    struct Case {
        int year, month, day;
    };
    const Case cases[] = {{60, 12, 31}, {1950, 1, 1}, {61, 1, 0},  {240, 6, 5},  {2141, 1, 1}, {100, 13, 1},
                          {100, 0, 1},  {100, -3, 1}, {100, 1, 32}, {100, 1, -1}, {1900, 1, 1}, {-5, 1, 1},
                          {32767, 12, 31}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
        EXPECT_EQ(MakeDateNumber(static_cast<std::int16_t>(c.year), static_cast<std::int16_t>(c.month),
                                 static_cast<std::int16_t>(c.day)),
                  0);
    }
}

TEST(DateNumber, SplitsAsAnUnsignedCount) {
    struct Case {
        std::uint16_t number;
        SplitDate date;
    };
    const Case cases[] = {
        {1, {61, 1, 1}},      {14245, {100, 1, 1}}, {13940, {99, 3, 2}},   {14669, {101, 2, 28}},
        {50829, {200, 2, 29}}, {32768, {150, 9, 18}}, {65535, {240, 6, 4}}, {0, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        SplitDate date = SplitDateNumber(c.number);
        EXPECT_EQ(date.year, c.date.year);
        EXPECT_EQ(date.month, c.date.month);
        EXPECT_EQ(date.day, c.date.day);
    }
}

TEST(DateNumber, EveryDateNumberSplitsAndComesBack) {
    for (std::uint32_t n = 1; n <= 65535; ++n) {
        SplitDate date = SplitDateNumber(static_cast<std::uint16_t>(n));
        ASSERT_GE(date.month, 1) << n;
        ASSERT_LE(date.month, 12) << n;
        ASSERT_GE(date.day, 1) << n;
        ASSERT_EQ(MakeDateNumber(date.year, date.month, date.day), n);
    }
}

TEST(StoredDate, WorkedStoredDates) {
    struct Case {
        std::uint16_t number;
        float value;
    };
    const Case cases[] = {{1, 610101.0f}, {14245, 1000101.0f}, {13940, 990302.0f},
                          {50829, 2000229.0f}, {65535, 2400604.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(DecodeStoredNumber(MakeStoredDate(c.number)), c.value);
    }
    EXPECT_EQ(MakeStoredDate(14245), (StoredNumber{0x50, 0x2A, 0x74, 0x94}));
    EXPECT_EQ(MakeStoredDate(0), (StoredNumber{0, 0, 0, 0}));
}

}  // namespace
}  // namespace tarvel
