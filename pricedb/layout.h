// Byte layouts of the portfolio files: MASTER (53-byte records) and
// F<n>.DAT (records of 4 * fieldCount bytes). Everything is encoded byte by
// byte, little-endian; nothing relies on struct packing. docs/FILE_FORMATS.md
// has the same tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/utf8.h"
#include "pricedb/coding.h"
#include "pricedb/stored_number.h"

namespace tarvel {

inline constexpr std::size_t kMasterRecordSize = 53;
inline constexpr int kMaxSecurities = 255;
inline constexpr int kMaxPriceRecords = 65534;
// Field order shared by every per-field list.
enum Field : int { kDate = 0, kOpen, kHigh, kLow, kClose, kVolume, kOpenInt };
inline constexpr int kFieldCount = 7;  // Date, Open, High, Low, Close, Volume, Open Int
inline constexpr std::size_t kTextFieldWidth = 16;
// Every reader of the format takes a symbol's first 14 bytes only, whatever
// the width of the field that holds it.
inline constexpr std::size_t kMaxSymbolBytes = 14;

// MasterHeader offsets.
inline constexpr std::size_t kHeaderSecurityCount = 0;   // 2 bytes
inline constexpr std::size_t kHeaderFileNumberMark = 2;  // 2 bytes

// MasterRecord offsets.
inline constexpr std::size_t kRecFileNumber = 0;
inline constexpr std::size_t kRecFileType = 1;  // 2 bytes
inline constexpr std::size_t kRecRecordLength = 3;
inline constexpr std::size_t kRecFieldCount = 4;
inline constexpr std::size_t kRecName = 7;  // 16 bytes
inline constexpr std::size_t kRecFirstDate = 25;
inline constexpr std::size_t kRecLastDate = 29;
inline constexpr std::size_t kRecTimeFrame = 33;
inline constexpr std::size_t kRecSymbol = 36;   // 16 bytes
inline constexpr std::size_t kRecDirMark = 18;  // "<DIR>" in name characters 11..15
inline constexpr std::size_t kDirNameLength = 8;

static_assert(kRecName + kTextFieldWidth == 23);
static_assert(kRecSymbol + kTextFieldWidth == kMasterRecordSize - 1);
static_assert(kRecDirMark + 5 == kRecName + kTextFieldWidth);

inline constexpr std::uint16_t kFileTypeSecurity = 101;  // written as 0x65, 0x00
inline constexpr std::uint8_t kTimeFrameDaily = 'D';

// DataHeader: recordCount at offset 2 of its first 4-byte group.
inline constexpr std::size_t kDataHeaderRecordCount = 2;

// The fields as F<n>.DOP labels them, in field order.
inline constexpr const char* kFieldLabels[kFieldCount] = {"DATE",  "OPEN", "HIGH", "LOW",
                                                          "CLOSE", "VOL",  "OI"};
// The fields as messages and the settings dialog name them, in field order.
inline constexpr const char* kFieldNames[kFieldCount] = {"Date",  "Open",   "High",    "Low",
                                                         "Close", "Volume", "Open Int"};

using MasterRecordBytes = std::array<std::uint8_t, kMasterRecordSize>;

struct MasterHeader {
    std::int16_t securityCount = 0;
    std::int16_t fileNumberMark = 0;
};

// A security's record as the converter writes it.
struct MasterRecord {
    std::uint8_t fileNumber = 0;
    std::uint8_t fieldCount = 0;  // recordLength is 4 * fieldCount
    std::string name;
    std::string symbol;
    StoredNumber firstDate{};
    StoredNumber lastDate{};
};

// Reads the two counters of the first 53 bytes of MASTER.
MasterHeader DecodeMasterHeader(const std::uint8_t* header);
// Overwrites the two counters, leaving the other 49 bytes as they are.
void EncodeMasterHeader(const MasterHeader& header, std::uint8_t* bytes);

// All 53 bytes: reserved bytes zero, text space-padded and cut to 16 bytes
// without splitting a UTF-8 character.
MasterRecordBytes EncodeMasterRecord(const MasterRecord& record);

// Why `text` cannot be a symbol or a name in a portfolio: it holds "<DIR>"
// (in any case of letters), which readers take for the mark of a
// sub-portfolio and which would hide the security, or a control character
// (below 0x20, or DEL), which breaks listings and terminals. Empty when it
// can be one; otherwise the reason, to follow "may not hold ".
std::string NameTextProblem(std::string_view text);

// True for a "<DIR>" entry: "<DIR>" at bytes 18..22 and byte 7 not a space.
bool IsDirectoryEntry(const std::uint8_t* record);

// The text of a fixed-width field: up to its width or a zero byte, trailing
// spaces removed.
std::string FieldText(const std::uint8_t* field, std::size_t width);

// F<n>.DAT header of a new file: fieldCount groups of 00 00 01 00.
std::string MakeDataHeader(int fieldCount);

// F<n>.DOP: one line per enabled field, CR LF line ends.
std::string MakeFieldDescription(const bool (&fieldOn)[kFieldCount]);

// File names inside a portfolio.
inline constexpr const char* kMasterName = "MASTER";
std::string DataFileName(int fileNumber);         // F<n>.DAT
std::string DescriptionFileName(int fileNumber);  // F<n>.DOP
// The n of a name F<n><rest> (any case), `rest` compared without regard to
// case; 0 when the name is not of that form or n is outside 1..`highest`.
int FileNumberOf(std::string_view name, std::string_view rest, int highest = kMaxSecurities);

}  // namespace tarvel
