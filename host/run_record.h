// run.json: the record of one run, written into the results folder last.
// Its presence marks a folder as a results folder of talvek; "complete"
// says whether every line of the member file was valued into the results.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

struct RecordedFile {
    std::string path; // absolute
    uint64_t size = 0;
    std::string sha256;
};

struct RunRecord {
    std::string version;
    std::string started; // UTC, "YYYY-MM-DDTHH:MM:SSZ"
    std::string ended;
    std::vector<std::string> commandLine;
    RecordedFile basis;
    RecordedFile members;
    int32_t valuationYear = 0;
    int32_t jobs = 0;
    int64_t linesRead = 0;
    int64_t membersValued = 0;
    int64_t rejected = 0; // lines with a field error
    int64_t skipped = 0;  // members of an unknown status: read, not valued
    int64_t errors = 0;   // error lines of the field checks (a line may have several)
    int exitStatus = 0;
    bool complete = false;
    std::string stoppedBy; // "", "Ctrl-C" or "SIGTERM"

    // the valuation: present values (false: a plain run), on which curve,
    // with which options, and every file the run wrote
    bool presentValues = false;
    std::string curveForm;        // "basis_rates", "spot_rates" or "forward_rates"
    int32_t curveTermsGiven = 0;  // rates given in the basis file; the last carried on to 110
    std::string curveDescription; // in words, as the summary shows it
    bool perMember = false;
    bool sensitivitiesRun = false;
    std::vector<std::pair<std::string, double>> sensitivities; // kind and size, as valued
    // a scenario set (--scenarios): its file, how many scenarios it holds
    // and how many were valued (fewer after a stop)
    bool scenariosRun = false;
    RecordedFile scenarioFile;
    int64_t scenarioCount = 0;
    int64_t scenariosValued = 0;
    std::string scenarioCurve;       // "basis", "forward_rates" or "spot_rates": where each scenario's curve comes from
    bool scenarioCashflows = false;  // scenario_cashflows.csv written
    std::vector<std::string> files;
};

// The current time in the record's form.
std::string utcNow();

// The record as JSON text, one field a line.
std::string runRecordText(const RunRecord &record);

// Writes, flushes and closes path; false with the file and the reason in problem.
bool writeRunRecord(const std::filesystem::path &path, const RunRecord &record, std::string &problem);
