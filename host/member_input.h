// The member file as the commands hand it to the engine: read into memory,
// checked, and converted where the basis says it is written otherwise than
// in the library's layout. The engine then reads the bytes in memory
// (TalvekRunDef.member_bytes), so that no copy of the file is ever written.
#pragma once

#include <filesystem>
#include <string>

#include "host_arrays.h"
#include "member_check.h"
#include "plan_basis.h"
#include "talvek/engine.h"

struct MemberInput {
    std::string fileBytes; // the member file as it is on disk
    MemberCheck check;
};

// Reads the whole file; false with the system's reason when it cannot.
bool readWholeFile(const std::filesystem::path &path, std::string &bytes, std::string &problem);

// True when the file can go to the engine as it is: the library's layout,
// no header row, the decimal point.
bool libraryReadsFileAsItIs(const PlanBasis &basis);

// Threads for the check: jobs, or one per core when jobs is 0.
int checkThreads(int jobs);

// Reads and checks the member file for a run on `jobs` threads. Prints the
// errors on standard error (the run prints the data summary after its own).
// Returns 0 when the run can go on: no errors, or errors the user accepts as
// read; 2 when the file has errors (the run values nothing); 1 when it
// cannot be read.
int prepareMemberInput(const PlanBasis &basis, const std::filesystem::path &memberFile,
                       const std::string &shownName, bool acceptAsRead, int jobs, MemberInput &input);

// Points the run at the checked bytes and gives the engine the columns
// where they stand (input must outlive the run).
void useCheckedMembers(const MemberInput &input, TalvekRunDef &def, HostArraySet &arrays);

// data_summary.csv and data_check.csv in directory; false when either cannot
// be written whole.
bool writeMemberDataFiles(const std::filesystem::path &directory, const MemberInput &input, const PlanBasis &basis);
