// Reading a security's price file back from a portfolio: F<n>.DAT (F<n>.MWD
// for a security XMASTER lists), a header record then one record of 4-byte
// stored numbers per day, and its field description F<n>.DOP.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/file_util.h"
#include "platform/platform.h"
#include "pricedb/stored_number.h"

namespace tarvel {

// The record count in the header of price file `fileName` of `dir` (a
// directory path ending in "/"), the header record itself included; -1 when
// no file of that name (in any case) is there or its first 4 bytes cannot be
// read.
long ReadPriceFileRecordCount(CPlatform& platform, const std::string& dir, const std::string& fileName);

// The price records of price file `fileName` of `dir` (ending in "/") of
// `recordLength`-byte records, when its size is whole records and its header
// counts them all; -1 when no file of that name is there or it cannot be read;
// -2 when it is damaged so.
long CountPriceRecords(CPlatform& platform, const std::string& dir, const std::string& fileName,
                       std::size_t recordLength);

// YYYYMMDD as YYYY-MM-DD; a day before 19000101 or after 99991231 as the
// number it is.
std::string DayText(int day);

// What is wrong with `data`, the bytes of a price file of `recordLength`-byte
// records whose directory record gives `lastDay` (YYYYMMDD) as its last date:
// a size that is no whole number of records, a header count other than the
// records the file holds, a date that is no calendar day or does not follow
// the date before it, or a last date other than `lastDay`. Empty when
// nothing is; otherwise the reason, to follow "is damaged: ".
std::string PriceFileProblem(const Bytes& data, std::size_t recordLength, int lastDay);

// A price file read whole into memory.
class CPriceFile {
public:
    // Reads price file `fileName` of `dir` (a directory path ending in "/";
    // the name is found in any case) as records of `recordLength` bytes.
    // Returns false when `recordLength` is not a multiple of 4 from 4 to 28,
    // when no such file is there or when it cannot be read; *error then holds the reason: the
    // system's text for the failed look-up or read, or what is wrong with
    // the length or the file. On failure
    // this object is left empty or partly filled and must not be read.
    bool Read(CPlatform& platform, const std::string& dir, const std::string& fileName,
              std::size_t recordLength, std::string* error);

    // PriceFileProblem of the bytes read, for a security whose directory
    // record gives `lastDay` as its last date.
    std::string Problem(int lastDay) const;

    // Fields of a record: the record length over 4.
    std::size_t FieldCount() const { return m_nRecordLength / 4; }
    // Price records: the whole records after the header, but no more than
    // the header counts.
    std::size_t RecordCount() const { return m_nRecords; }
    // Field `field` (0 the first, the date) of price record `record` (0 the
    // first after the header); both must be below their counts.
    StoredNumber Field(std::size_t record, std::size_t field) const;

private:
    Bytes m_data;
    std::size_t m_nRecordLength = 0;
    std::size_t m_nRecords = 0;
};

// The labels of F<n>.DOP of security `fileNumber` in `dir` (ending in "/"):
// the text between the first two quotes of each line, lines without them
// passed over, at most `limit` labels, from the file's first 4096 bytes.
// Empty when no such file is there or it cannot be read.
std::vector<std::string> ReadFieldLabels(CPlatform& platform, const std::string& dir, int fileNumber,
                                         std::size_t limit);

}  // namespace tarvel
