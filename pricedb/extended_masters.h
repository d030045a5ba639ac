// Byte layouts of the two directory files that newer charting programs keep
// beside MASTER: EMASTER (192-byte records, one for each MASTER record, in the
// same order, with names of up to 45 bytes) and XMASTER (150-byte records for
// the securities past MASTER's 255, whose prices are in F<n>.MWD, n >= 256).
// Dates there are not stored numbers: EMASTER keeps IEEE single-precision
// YYYMMDD values and a YYYYMMDD integer, XMASTER YYYYMMDD integers.
// docs/FILE_FORMATS.md has the same tables.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_util.h"
#include "pricedb/layout.h"

namespace tarvel {

inline constexpr const char* kEMasterName = "EMASTER";
inline constexpr const char* kXMasterName = "XMASTER";

inline constexpr std::size_t kEMasterRecordSize = 192;
inline constexpr std::size_t kXMasterRecordSize = 150;
inline constexpr std::size_t kLongNameWidth = 45;
inline constexpr std::size_t kXSymbolWidth = kMaxSymbolBytes;

// XMASTER's file numbers: from 256 to the highest that readers accept.
inline constexpr int kFirstXMasterFileNumber = 256;
inline constexpr int kMaxXMasterFileNumber = 2000;

// EMASTER header: counters as in MASTER.
inline constexpr std::size_t kEHeaderSecurityCount = 0;   // 2 bytes
inline constexpr std::size_t kEHeaderFileNumberMark = 2;  // 2 bytes

// EMASTER record offsets.
inline constexpr std::size_t kERecMark = 0;        // "66"
inline constexpr std::size_t kERecFileNumber = 2;  // 1 byte
inline constexpr std::size_t kERecFieldCount = 6;
inline constexpr std::size_t kERecFieldBits = 7;
inline constexpr std::size_t kERecChartFlag = 9;   // ' '
inline constexpr std::size_t kERecSymbol = 11;     // 14 bytes, zero-padded
inline constexpr std::size_t kERecName = 32;       // 16 bytes, zero-padded
inline constexpr std::size_t kERecTimeFrame = 60;  // 'D'
inline constexpr std::size_t kERecFirstDate = 64;  // IEEE float YYYMMDD
inline constexpr std::size_t kERecLastDate = 72;   // IEEE float YYYMMDD
inline constexpr std::size_t kERecFirstDay = 126;  // int32 YYYYMMDD
inline constexpr std::size_t kERecLongName = 139;  // 45 bytes, zero-padded

// XMASTER header.
inline constexpr std::size_t kXHeaderMark = 0;         // 5D FE 'X' 'M'
inline constexpr std::size_t kXHeaderCount = 10;       // 2 bytes
inline constexpr std::size_t kXHeaderCountAgain = 14;  // 2 bytes
inline constexpr std::size_t kXHeaderNextNumber = 18;  // 2 bytes: highest file number + 1

// XMASTER record offsets.
inline constexpr std::size_t kXRecMark = 0;         // 01
inline constexpr std::size_t kXRecSymbol = 1;       // 14 bytes, zero-padded
inline constexpr std::size_t kXRecName = 16;        // 45 bytes, zero-padded
inline constexpr std::size_t kXRecTimeFrame = 62;   // 'D'
inline constexpr std::size_t kXRecFileNumber = 65;  // 2 bytes
inline constexpr std::size_t kXRecFieldBits = 70;
inline constexpr std::size_t kXRecCollected = 104;  // int32 YYYYMMDD: the first date
inline constexpr std::size_t kXRecFirstDay = 108;   // int32 YYYYMMDD
inline constexpr std::size_t kXRecLastDay = 116;    // int32 YYYYMMDD

static_assert(kERecLongName + kLongNameWidth < kEMasterRecordSize);
static_assert(kXRecName + kLongNameWidth < kXRecTimeFrame);

using EMasterRecordBytes = std::array<std::uint8_t, kEMasterRecordSize>;
using XMasterRecordBytes = std::array<std::uint8_t, kXMasterRecordSize>;

// What the three directory files say of one security.
struct SecurityEntry {
    int fileNumber = 0;
    std::string symbol;
    std::string name;  // up to 45 bytes
    bool fieldOn[kFieldCount] = {};
    int firstDay = 0;  // YYYYMMDD
    int lastDay = 0;
};

// Field bits of EMASTER and XMASTER: date 1, high 2, low 4, close 8,
// volume 16, open 32, open interest 64.
std::uint8_t FieldBits(const bool (&fieldOn)[kFieldCount]);
// The fields of `bits`; false when it holds a bit no field has (time of day).
bool FieldsOfBits(std::uint8_t bits, bool (&fieldOn)[kFieldCount]);

// YYYYMMDD of a stored date, and back.
int DayOfStoredDate(const StoredNumber& date);
StoredNumber StoredDateOfDay(int day);

EMasterRecordBytes EncodeEMasterRecord(const SecurityEntry& entry);
XMasterRecordBytes EncodeXMasterRecord(const SecurityEntry& entry);
// A header record with the counters given and every other byte zero.
Bytes MakeEMasterHeader(int count, int fileNumberMark);
Bytes MakeXMasterHeader(int count, int nextNumber);
// Writes the counters into an existing header, leaving its other bytes.
void SetEMasterCounters(std::uint8_t* header, int count, int fileNumberMark);
void SetXMasterCounters(std::uint8_t* header, int count, int nextNumber);
// Moves a record's last date (and, with `first`, its first date).
void SetEMasterDates(std::uint8_t* record, const int* firstDay, int lastDay);
void SetXMasterDates(std::uint8_t* record, const int* firstDay, int lastDay);

SecurityEntry DecodeXMasterRecord(const std::uint8_t* record);
// A MASTER record with, when the portfolio has EMASTER, its EMASTER record
// (else nullptr): the long name and the fields come from that. *fieldsKnown
// says whether the fields could be told.
SecurityEntry DecodeMasterRecord(const std::uint8_t* record, const std::uint8_t* emasterRecord,
                                 bool* fieldsKnown);

// What is wrong with an EMASTER beside `master` (a checked MASTER): not whole
// 192-byte records, a count that differs from its records or from MASTER's,
// or a record whose file number is not that of MASTER's record at the same
// place. Empty when nothing is; otherwise a message naming `path`.
std::string CheckEMaster(const Bytes& emaster, const Bytes& master, const std::string& path);
// What is wrong with an XMASTER: not whole 150-byte records, no XMASTER mark,
// a count that differs from its records, a file number outside 256..65535 or
// used twice.
std::string CheckXMaster(const Bytes& xmaster, const std::string& path);

// F<n>.MWD, the price file of an XMASTER security.
std::string MwdFileName(int fileNumber);

}  // namespace tarvel
