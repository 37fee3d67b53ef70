// The Palm OS record database container of an image database (.PDB).
//
// All integers big-endian; offsets from the start of the file.
//
//   offset  width     field                 new database
//   0       32 bytes  name                  base name, at most 29 chars, zero padded
//   32      u16       attributes            0x0008 (backup bit)
//   34      u16       version               0
//   36      u32       creationDate          0x33B8BDA5
//   40      u32       modificationDate      0x33B8BDA5
//   44      u32       lastBackupDate        0x33B8BDA5
//   48      u32       modificationNumber    1
//   52      u32       appInfoOffset         0
//   56      u32       sortInfoOffset        0
//   60      4 bytes   type                  "Data"
//   64      4 bytes   creator               "Qvrl"  (the only field validated)
//   68      u32       uniqueIdSeed          0
//   72      u32       nextRecordListId      0
//   76      u16       recordCount           signed 16-bit when read
//   78      8 bytes   RecordEntry i at 78 + 8 i: u32 offset, u32 recordAttributes
//   then    2 bytes   zero, then the records in entry order
//
// An empty database is exactly 80 bytes. No record length is stored: a record
// is found only through its entry's offset and its own header's offsets.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace ferrovel {

inline constexpr std::int16_t kCreateFailed = -80;  // the file cannot be created or written

inline constexpr std::uint32_t kHeaderBytes = 78;  // header up to the first entry
inline constexpr std::uint32_t kRecordEntryBytes = 8;
inline constexpr std::uint32_t kEmptyDatabaseBytes = 80;
inline constexpr std::uint32_t kCreatorQvrl = 0x5176726C;  // "Qvrl" read big-endian
inline constexpr std::size_t kMaxDatabaseNameChars = 29;

struct DatabaseHeader {
    std::array<std::uint8_t, 32> name{};
    std::uint16_t attributes = 0;
    std::uint16_t version = 0;
    std::uint32_t creationDate = 0;
    std::uint32_t modificationDate = 0;
    std::uint32_t lastBackupDate = 0;
    std::uint32_t modificationNumber = 0;
    std::uint32_t appInfoOffset = 0;
    std::uint32_t sortInfoOffset = 0;
    std::array<std::uint8_t, 4> type{};
    std::array<std::uint8_t, 4> creator{};
    std::uint32_t uniqueIdSeed = 0;
    std::uint32_t nextRecordListId = 0;
    std::int16_t recordCount = 0;
};

struct RecordEntry {
    std::uint32_t offset = 0;            // absolute offset of the record's first byte
    std::uint32_t recordAttributes = 0;  // attribute byte and unique id, kept opaque
};

// Reads the whole 78-byte header from the start of the stream.
DatabaseHeader readDatabaseHeader(std::FILE* stream);
// Writes the 78-byte header at the current position.
void writeDatabaseHeader(std::FILE* stream, const DatabaseHeader& header);

RecordEntry readRecordEntry(std::FILE* stream, std::int16_t index);

// True when the creator field reads "Qvrl"; nothing else is checked.
bool isImageDatabase(std::FILE* stream);

// True when the file at path opens and is an image database.
bool isImageDatabaseFile(const std::string& path);

// The record count, signed: a count of 0x8000 or more is negative, and such a
// database has no records.
std::int16_t readRecordCount(std::FILE* stream);

// The absolute offset of record index. No bounds check: 0 <= index < count.
std::uint32_t recordOffset(std::FILE* stream, std::int16_t index);

// The header of a new, empty database named after the path's base name.
DatabaseHeader newDatabaseHeader(const std::string& path);

// The base name of a path: no folder (after the last '\', '/' or ':') and no
// extension (from the last '.').
std::string pathBaseName(const std::string& path);

// The first bytes of the database that appends records of the given sizes
// to the one in stream (fileSize bytes long): the header, the record count
// plus the new records, every old entry moved by 8 per new record, and one
// entry (attributes 0) per new record, which start where the old file ended
// plus the new entries. Non-zero application and sort info offsets move with
// the records: their blocks lie behind the record list. The old file's bytes
// from recordListEnd(stream) on follow unchanged, then the new records.
std::vector<std::uint8_t> appendedRecordList(std::FILE* stream, std::uint64_t fileSize,
                                             const std::vector<std::uint32_t>& newRecordSizes);

// Where the record list of the database in stream ends: after the header and
// its entries (a negative count has none).
std::uint64_t recordListEnd(std::FILE* stream);

// Creates path as an empty database, replacing any file there in one step:
// 0, or kCreateFailed.
std::int16_t createEmptyDatabase(const std::string& path);

}  // namespace ferrovel
