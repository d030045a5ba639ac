// Undo of the last change Tarvel made to a portfolio.
//
// Every commit puts, in the same journal as the change, an undo record
// (kUndoRecordName) in the portfolio directory that says how each file the
// change touched goes back. Text lines ending in "\n":
//   "TARVEL UNDO 1"
//   "WHAT <what the change was>"        e.g. "Conversion of ACME"
//   "A <name> <size> <hash>"            added: undo removes it
//   "S <name> <size> <hash>"            a directory file the change left as it was
//   "Z <name>"                          a directory file that was not there
//   "R <name> <size> <hash> <n>"        replaced; its n old bytes follow the line
//   "C <name> <size> <hash> <n> <h>"    appended to: undo cuts it back to n
//                                       bytes and puts back its old first h
//                                       bytes (the header), which follow
//   "K <name> <size> <hash>"            removed: kept as <name>.~UN (size and hash of that)
//   "END"
// <size> and <hash> are those of the file as the change left it (<hash> is
// FNV-1a of 64 bits, in hex); undo refuses when any file differs from them,
// so that it never throws away a change made since.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file_util.h"
#include "platform/platform.h"
#include "platform/prompt.h"

namespace tarvel {

inline constexpr std::uint64_t kHashSeed = 0xcbf29ce484222325ULL;

// FNV-1a over `bytes`, continuing from `hash`.
std::uint64_t HashBytes(std::span<const std::uint8_t> bytes, std::uint64_t hash = kHashSeed);

struct UndoFile {
    char kind = 'A';  // A, S, Z, R, C or K, as above
    std::string name;
    std::uint64_t size = 0;
    std::uint64_t hash = 0;
    std::uint64_t oldSize = 0;  // C: the length before
    Bytes old;                  // R: the old bytes; C: the old header
};

struct UndoRecord {
    std::string what;
    std::vector<UndoFile> files;
    UndoFile* Find(const std::string& name);
};

Bytes EncodeUndoRecord(const UndoRecord& record);
// False when `bytes` are not a whole record of ours.
bool ParseUndoRecord(const Bytes& bytes, UndoRecord* record);

// The most bytes of an undo record read: the three directory files and
// MASTER.BAK at their largest, with room to spare.
inline constexpr std::size_t kUndoRecordReadLimit = std::size_t{1} << 24;

// What the last change to `directory` was ("Conversion of ACME"), when its
// undo record is there and reads whole; empty otherwise.
std::string UndoableChange(CPlatform& platform, const std::string& directory);

// Puts the portfolio in `directory` back as it was before the last change
// Tarvel made to it, in one commit under the portfolio's lock (waiting
// `waitSeconds` for it), when every file is still as that change left it.
// 0 with what was undone in *what; 1 after a message saying why nothing
// was undone.
int UndoLastChange(CPlatform& platform, CPrompt& prompt, const std::string& directory, int waitSeconds,
                   std::string* what);

}  // namespace tarvel
