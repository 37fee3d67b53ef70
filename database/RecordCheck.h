// Checks of a record's structure against the file it lives in. Reading never
// needs them (a damaged record still reads, with defined values), but a tool
// that reports on a database tells its user which records are damaged.
#pragma once

#include <cstdint>
#include <cstdio>

namespace ferrovel {

enum class RecordProblem {
    None,
    StartPastEnd,  // the record's offset lies at or past the end of the file
    HeaderCut,     // the 28 header bytes do not all lie in the file
    NegativeSize,  // width or height is negative
    PixelDataCut,  // the pixel rows run past the end of the file
    LabelPastEnd,  // the label starts at or past the end of the file
};

// The first problem of record index in a file of fileSize bytes.
RecordProblem checkRecord(std::FILE* stream, std::int16_t recordIndex, std::uint64_t fileSize);

const char* recordProblemText(RecordProblem problem);

}  // namespace ferrovel
