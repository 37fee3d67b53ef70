// What every imagedb command shares: the streams it talks through, how it
// tells its user what went wrong, the database it opens first, and the words
// it uses for damaged records and handheld text.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/ImageRecord.h"
#include "database/RecordCheck.h"
#include "database/WorkFile.h"

namespace ferrovel {

struct Tool {
    std::FILE* out;  // the results of the command
    std::FILE* err;  // errors and warnings
    std::FILE* in;   // a bitmap given to import as "-"
};

// One command of the tool: its part of the command line, and what runs it
// once the line has been parsed into the arguments it captured.
struct Command {
    CLI::App* app = nullptr;
    std::function<int(const Tool&)> run;
};

// "imagedb: what" on the error stream; returns kExitFailed.
int fail(const Tool& tool, const std::string& what);

// "imagedb: warning: what" on the error stream; the exit status stays.
void warn(const Tool& tool, const std::string& what);

// A wrong command line: what is wrong and where the usage is explained;
// returns kExitUsage.
int usageError(const Tool& tool, const std::string& command, const std::string& what);

// An option value check: the value is accepted when ok says so, and
// otherwise the user reads "takes <takes>, not "<value>"".
CLI::Validator accepting(std::function<bool(const std::string&)> ok, const std::string& takes);

// A whole decimal number from low to high, or nothing.
std::optional<int> numberIn(const std::string& text, int low, int high);

// Adds the database file argument; "-" cannot stand for a database.
void addDatabaseArgument(CLI::App& command, std::string& path);

// An open database that was found valid; closed when it goes.
struct Database {
    std::FILE* file = nullptr;
    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();
};

// Says what a rewrite did besides the change itself: a database put back
// from its work file first, other hard links that keep the old contents.
void reportRewrite(const Tool& tool, const std::string& path, const RewriteReport& report);

// Opens path for reading and checks that it is an image database: kExitOk,
// or kExitFailed with the reason told. A work file beside it that may hold
// its last complete copy is pointed out.
int openDatabase(const Tool& tool, const std::string& path, Database& database);

// Every record of an open database, as readAllRecordInfo gives them; a
// record count of 0x8000 or more, which reads as none, is warned of.
std::vector<RecordInfo> readRecords(const Tool& tool, const std::string& path, std::FILE* file);

// The sentence that tells what is wrong with a record.
std::string recordDamageText(RecordProblem problem, std::size_t record);

// A record that the structure check finds damaged.
struct Damage {
    std::size_t record = 0;
    RecordProblem problem = RecordProblem::None;
};

// The structure check over records read from a file of fileSize bytes.
std::vector<Damage> structureDamage(const std::vector<RecordInfo>& records, std::uint64_t fileSize);

// Warns of each damaged record (the first 20 one by one) and points to the
// check command; what can be read is still shown, so the status stays.
void warnOfDamage(const Tool& tool, const std::string& path, const std::vector<Damage>& damage);

// Handheld text for a line of text output: as UTF-8, with tab, carriage
// return, line feed and backslash written \t, \r, \n and \\ so that one
// name never breaks a line or a column.
std::string displayText(std::string_view handheld);

// "1 bit", "16 bits".
std::string bitsText(int bits);

// Switches a stream to binary on Windows, where the C library would
// otherwise turn line feeds into carriage return and line feed.
void useBinaryMode(std::FILE* stream);

}  // namespace ferrovel
