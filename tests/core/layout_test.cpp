#include "pricedb/layout.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace tarvel {
namespace {

std::string AsString(const MasterRecordBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(MasterRecord, CutsUtf8TextAtACharacterBoundary) {
    MasterRecord record;
    record.name = "ABCDEFGHIJKLMN\xC3\xA9Z";  // the 2-byte é would straddle byte 16
    record.symbol =
        "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC";  // six 3-byte €
    MasterRecordBytes bytes = EncodeMasterRecord(record);
    EXPECT_EQ(AsString(bytes).substr(kRecName, 16), "ABCDEFGHIJKLMN\xC3\xA9");
    EXPECT_EQ(AsString(bytes).substr(kRecSymbol, 16),
              "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC ");
    record.name = "ABCDEFGHIJKLMNO\xC3\xA9";
    EXPECT_EQ(AsString(EncodeMasterRecord(record)).substr(kRecName, 16), "ABCDEFGHIJKLMNO ");
}

TEST(MasterRecord, RecognisesDirectoryEntries) {
    std::string record(kMasterRecordSize, '\0');
    record.replace(kRecName, 16, "DATA       <DIR>");
    EXPECT_TRUE(IsDirectoryEntry(reinterpret_cast<const std::uint8_t*>(record.data())));
    record[kRecName] = ' ';
    EXPECT_FALSE(IsDirectoryEntry(reinterpret_cast<const std::uint8_t*>(record.data())));
    record.replace(kRecName, 16, "DATA       <DIR ");
    EXPECT_FALSE(IsDirectoryEntry(reinterpret_cast<const std::uint8_t*>(record.data())));
}

TEST(MasterHeader, RewritesOnlyTheCounters) {
    std::string header(kMasterRecordSize, '\x5A');
    auto* bytes = reinterpret_cast<std::uint8_t*>(header.data());
    EncodeMasterHeader({258, -1}, bytes);
    EXPECT_EQ(test::Hex(header.substr(0, 5)), "02 01 FF FF 5A");
    EXPECT_EQ(header.substr(4), std::string(49, '\x5A'));
    MasterHeader decoded = DecodeMasterHeader(bytes);
    EXPECT_EQ(decoded.securityCount, 258);
    EXPECT_EQ(decoded.fileNumberMark, -1);
}

// Conversions check the description of the fields they write; these are the rest.
TEST(DataFiles, FieldDescriptionBytes) {
    const bool all[kFieldCount] = {true, true, true, true, true, true, true};
    EXPECT_EQ(
        MakeFieldDescription(all),
        "\"DATE\",0,0\r\n\"OPEN\",4,4\r\n\"HIGH\",4,4\r\n\"LOW\",4,4\r\n\"CLOSE\",4,4\r\n\"VOL\",4,4\r\n"
        "\"OI\",4,4\r\n");
    const bool noDate[kFieldCount] = {false, false, false, false, true, true, false};
    EXPECT_EQ(MakeFieldDescription(noDate), "\"CLOSE\",4,4\r\n\"VOL\",4,4\r\n");
}

}  // namespace
}  // namespace tarvel
