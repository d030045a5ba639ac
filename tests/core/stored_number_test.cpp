#include "pricedb/stored_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tarvel {
namespace {

TEST(StoredNumber, EncodesWorkedValuesAndDecodesThemBack) {
    struct Case {
        float value;
        StoredNumber stored;
    };
    const Case cases[] = {
        {1.0f, {0x00, 0x00, 0x00, 0x81}},    {-1.0f, {0x00, 0x00, 0x80, 0x81}},
        {0.5f, {0x00, 0x00, 0x00, 0x80}},    {10.0f, {0x00, 0x00, 0x20, 0x84}},
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
    for (float tiny :
         {1e-40f, -1e-45f, std::ldexp(1.5f, -128), -std::ldexp(1.0f, -127), std::ldexp(1.99f, -127)}) {
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

TEST(StoredDate, WorkedStoredDates) {
    struct Case {
        CalendarDate date;
        float value;
    };
    const Case cases[] = {{{1900, 1, 1}, 101.0f},      {{1928, 3, 5}, 280305.0f},
                          {{1961, 1, 1}, 610101.0f},   {{2000, 1, 1}, 1000101.0f},
                          {{2000, 2, 29}, 1000229.0f}, {{2140, 6, 4}, 2400604.0f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(DecodeStoredNumber(MakeStoredDate(c.date)), c.value);
    }
    EXPECT_EQ(MakeStoredDate(CalendarDate{2000, 1, 1}), (StoredNumber{0x50, 0x2A, 0x74, 0x94}));
}

}  // namespace
}  // namespace tarvel
