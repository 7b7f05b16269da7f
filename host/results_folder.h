// The results folder of a run, replaced whole or not at all. A run writes
// into a temporary folder beside --out and, only when every file in it is
// written, flushed and closed, puts it in place of --out in one rename (an
// earlier results folder is swapped out in the same step and then removed).
// A lock file beside --out keeps two runs from writing the same folder at
// once; whoever holds it knows that every temporary folder of that name left
// beside --out belongs to a run that died, and removes it.
#pragma once

#include <filesystem>
#include <string>

// Names beside --out "NAME": ".NAME.talvek-lock" and ".NAME.talvek-partial-PID".
constexpr const char *kLockSuffix = ".talvek-lock";
constexpr const char *kPartialInfix = ".talvek-partial-";
constexpr const char *kRunRecordFile = "run.json";

struct ResultsFolder {
    std::filesystem::path out;       // absolute, normalised
    std::filesystem::path temporary; // beside out, made by openResultsFolder
    std::filesystem::path lockFile;
    int lockDescriptor = -1;
    bool busy = false; // another run held the lock
};

struct OutputChoice {
    std::string given;                // --out as typed
    std::filesystem::path memberFile; // absolute
    std::filesystem::path basisFile;  // absolute
    bool force = false;               // replace a folder that holds no run record
};

// Where the results go, checked before anything is run: not empty, not the
// root, not a file, not holding the member or basis file, and, when it
// exists with anything in it, a results folder of ours (it has run.json)
// unless forced. False with the reason in problem.
bool chooseResultsFolder(const OutputChoice &choice, ResultsFolder &folder, std::string &problem);

// Takes the lock (making the parent folder when needed), removes temporary
// folders of dead runs and makes this run's temporary folder. False with the
// reason in problem (another run holds the lock, or a file cannot be made).
bool openResultsFolder(ResultsFolder &folder, std::string &problem);

// Flushes every file of the temporary folder and the folder itself to the
// disk, then puts it in place of out and removes what was there. False with
// the reason in problem; out is then as it was.
bool installResultsFolder(ResultsFolder &folder, std::string &problem);

// Removes the temporary folder (when the run did not install it) and gives
// up the lock. Safe to call more than once.
void closeResultsFolder(ResultsFolder &folder);

// Whether path lies inside folder (or is it), after following links.
bool pathInside(const std::filesystem::path &path, const std::filesystem::path &folder);
