#include "pricedb/extended_masters.h"

#include <bit>
#include <bitset>
#include <cstring>
#include <unordered_set>

namespace tarvel {
namespace {

// Bit of each field, in the order Date, Open, High, Low, Close, Volume, OI.
constexpr std::uint8_t kFieldBit[kFieldCount] = {1, 32, 2, 4, 8, 16, 64};

void PutZeroPadded(std::uint8_t* field, std::size_t width, std::string_view text) {
    std::string_view cut = CutToCharBoundary(text, width);
    std::memset(field, 0, width);
    std::memcpy(field, cut.data(), cut.size());
}

// YYYMMDD (years since 1900) as an IEEE single: exact, as it is below 2^24.
void WriteDayAsFloat(std::uint8_t* p, int day) {
    EncodeFixed32(p, std::bit_cast<std::uint32_t>(static_cast<float>(day - 19000000)));
}

}  // namespace

std::uint8_t FieldBits(const bool (&fieldOn)[kFieldCount]) {
    std::uint8_t bits = 0;
    for (int i = 0; i < kFieldCount; ++i) bits |= fieldOn[i] ? kFieldBit[i] : 0;
    return bits;
}

bool FieldsOfBits(std::uint8_t bits, bool (&fieldOn)[kFieldCount]) {
    for (int i = 0; i < kFieldCount; ++i) fieldOn[i] = (bits & kFieldBit[i]) != 0;
    return (bits & 0x80) == 0;
}

int DayOfStoredDate(const StoredNumber& date) {
    float value = DecodeStoredNumber(date);
    if (!(value >= 0 && value < 3000000)) return 0;
    return static_cast<int>(value) + 19000000;
}

StoredNumber StoredDateOfDay(int day) { return MakeStoredDate({day / 10000, day / 100 % 100, day % 100}); }

EMasterRecordBytes EncodeEMasterRecord(const SecurityEntry& entry) {
    EMasterRecordBytes r{};
    r[kERecMark] = '6';
    r[kERecMark + 1] = '6';
    r[kERecFileNumber] = static_cast<std::uint8_t>(entry.fileNumber);
    int count = 0;
    for (bool on : entry.fieldOn) count += on ? 1 : 0;
    r[kERecFieldCount] = static_cast<std::uint8_t>(count);
    r[kERecFieldBits] = FieldBits(entry.fieldOn);
    r[kERecChartFlag] = ' ';
    PutZeroPadded(&r[kERecSymbol], kXSymbolWidth, entry.symbol);
    PutZeroPadded(&r[kERecName], kTextFieldWidth, entry.name);
    r[kERecTimeFrame] = kTimeFrameDaily;
    WriteDayAsFloat(&r[kERecFirstDate], entry.firstDay);
    WriteDayAsFloat(&r[kERecLastDate], entry.lastDay);
    EncodeFixed32(&r[kERecFirstDay], static_cast<std::uint32_t>(entry.firstDay));
    PutZeroPadded(&r[kERecLongName], kLongNameWidth, entry.name);
    return r;
}

XMasterRecordBytes EncodeXMasterRecord(const SecurityEntry& entry) {
    XMasterRecordBytes r{};
    r[kXRecMark] = 1;
    PutZeroPadded(&r[kXRecSymbol], kXSymbolWidth, entry.symbol);
    PutZeroPadded(&r[kXRecName], kLongNameWidth, entry.name);
    r[kXRecTimeFrame] = kTimeFrameDaily;
    EncodeFixed16(&r[kXRecFileNumber], static_cast<std::uint16_t>(entry.fileNumber));
    r[kXRecFieldBits] = FieldBits(entry.fieldOn);
    EncodeFixed32(&r[kXRecCollected], static_cast<std::uint32_t>(entry.firstDay));
    EncodeFixed32(&r[kXRecFirstDay], static_cast<std::uint32_t>(entry.firstDay));
    EncodeFixed32(&r[kXRecLastDay], static_cast<std::uint32_t>(entry.lastDay));
    return r;
}

Bytes MakeEMasterHeader(int count, int fileNumberMark) {
    Bytes header(kEMasterRecordSize, 0);
    SetEMasterCounters(header.data(), count, fileNumberMark);
    return header;
}

Bytes MakeXMasterHeader(int count, int nextNumber) {
    Bytes header(kXMasterRecordSize, 0);
    std::memcpy(&header[kXHeaderMark], "\x5D\xFEXM", 4);
    SetXMasterCounters(header.data(), count, nextNumber);
    return header;
}

void SetEMasterCounters(std::uint8_t* header, int count, int fileNumberMark) {
    EncodeFixed16(header + kEHeaderSecurityCount, static_cast<std::uint16_t>(count));
    EncodeFixed16(header + kEHeaderFileNumberMark, static_cast<std::uint16_t>(fileNumberMark));
}

void SetXMasterCounters(std::uint8_t* header, int count, int nextNumber) {
    EncodeFixed16(header + kXHeaderCount, static_cast<std::uint16_t>(count));
    EncodeFixed16(header + kXHeaderCountAgain, static_cast<std::uint16_t>(count));
    EncodeFixed16(header + kXHeaderNextNumber, static_cast<std::uint16_t>(nextNumber));
}

void SetEMasterDates(std::uint8_t* record, const int* firstDay, int lastDay) {
    if (firstDay != nullptr) {
        WriteDayAsFloat(record + kERecFirstDate, *firstDay);
        EncodeFixed32(record + kERecFirstDay, static_cast<std::uint32_t>(*firstDay));
    }
    WriteDayAsFloat(record + kERecLastDate, lastDay);
}

void SetXMasterDates(std::uint8_t* record, const int* firstDay, int lastDay) {
    if (firstDay != nullptr) {
        EncodeFixed32(record + kXRecCollected, static_cast<std::uint32_t>(*firstDay));
        EncodeFixed32(record + kXRecFirstDay, static_cast<std::uint32_t>(*firstDay));
    }
    EncodeFixed32(record + kXRecLastDay, static_cast<std::uint32_t>(lastDay));
}

SecurityEntry DecodeXMasterRecord(const std::uint8_t* record) {
    SecurityEntry entry;
    entry.fileNumber = DecodeFixed16(record + kXRecFileNumber);
    entry.symbol = FieldText(record + kXRecSymbol, kXSymbolWidth);
    entry.name = FieldText(record + kXRecName, kLongNameWidth);
    FieldsOfBits(record[kXRecFieldBits], entry.fieldOn);
    entry.firstDay = static_cast<int>(DecodeFixed32(record + kXRecFirstDay));
    entry.lastDay = static_cast<int>(DecodeFixed32(record + kXRecLastDay));
    return entry;
}

SecurityEntry DecodeMasterRecord(const std::uint8_t* record, const std::uint8_t* emasterRecord,
                                 bool* fieldsKnown) {
    SecurityEntry entry;
    entry.fileNumber = record[kRecFileNumber];
    entry.symbol = FieldText(record + kRecSymbol, kMaxSymbolBytes);
    entry.name = FieldText(record + kRecName, kTextFieldWidth);
    auto day = [&](std::size_t at) {
        return DayOfStoredDate({record[at], record[at + 1], record[at + 2], record[at + 3]});
    };
    entry.firstDay = day(kRecFirstDate);
    entry.lastDay = day(kRecLastDate);
    *fieldsKnown = false;
    if (emasterRecord != nullptr) {
        std::string longName = FieldText(emasterRecord + kERecLongName, kLongNameWidth);
        if (!longName.empty()) entry.name = longName;
        *fieldsKnown = FieldsOfBits(emasterRecord[kERecFieldBits], entry.fieldOn);
    }
    return entry;
}

std::string CheckEMaster(const Bytes& emaster, const Bytes& master, const std::string& path) {
    std::string damaged = "The Master file " + path + " is damaged: ";
    if (emaster.size() < kEMasterRecordSize || emaster.size() % kEMasterRecordSize != 0) {
        return damaged + "it is " + std::to_string(emaster.size()) +
               " bytes long, not a whole number of 192-byte records.";
    }
    long records = static_cast<long>(emaster.size() / kEMasterRecordSize) - 1;
    long count = DecodeFixed16(emaster.data() + kEHeaderSecurityCount);
    if (count != records) {
        return damaged + "it counts " + std::to_string(count) + " securities but holds " +
               std::to_string(records) + ".";
    }
    long masterRecords = static_cast<long>(master.size() / kMasterRecordSize) - 1;
    if (records != masterRecords) {
        return damaged + "it holds " + std::to_string(records) + " securities but MASTER holds " +
               std::to_string(masterRecords) + ".";
    }
    for (long i = 1; i <= records; ++i) {
        int n = emaster[kEMasterRecordSize * static_cast<std::size_t>(i) + kERecFileNumber];
        int m = master[kMasterRecordSize * static_cast<std::size_t>(i) + kRecFileNumber];
        if (n != m) {
            return damaged + "record " + std::to_string(i) + " is file number " + std::to_string(n) +
                   " but MASTER's is " + std::to_string(m) + ".";
        }
    }
    return {};
}

std::string CheckXMaster(const Bytes& xmaster, const std::string& path) {
    std::string damaged = "The Master file " + path + " is damaged: ";
    if (xmaster.size() < kXMasterRecordSize || xmaster.size() % kXMasterRecordSize != 0) {
        return damaged + "it is " + std::to_string(xmaster.size()) +
               " bytes long, not a whole number of 150-byte records.";
    }
    if (std::memcmp(&xmaster[kXHeaderMark], "\x5D\xFEXM", 4) != 0) return damaged + "it has no XMASTER mark.";
    long records = static_cast<long>(xmaster.size() / kXMasterRecordSize) - 1;
    long count = DecodeFixed16(xmaster.data() + kXHeaderCount);
    if (count != records) {
        return damaged + "it counts " + std::to_string(count) + " securities but holds " +
               std::to_string(records) + ".";
    }
    std::unordered_set<int> seen;
    for (long i = 1; i <= records; ++i) {
        int n = DecodeFixed16(&xmaster[kXMasterRecordSize * static_cast<std::size_t>(i) + kXRecFileNumber]);
        if (n < kFirstXMasterFileNumber) {
            return damaged + "record " + std::to_string(i) + " has file number " + std::to_string(n) + ".";
        }
        if (!seen.insert(n).second) return damaged + "file number " + std::to_string(n) + " is used twice.";
    }
    return {};
}

std::string MwdFileName(int fileNumber) {
    return std::string("F").append(std::to_string(fileNumber)).append(".MWD");
}

}  // namespace tarvel
