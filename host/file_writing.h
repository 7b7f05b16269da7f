// Result files written whole and checked: every write, the flush to the
// disk and the close, with the file and the system's reason on failure.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

// path opened for writing; null with the problem.
std::FILE *openForWriting(const std::filesystem::path &path, std::string &problem);

// out flushed to the disk and closed; false with the file and the reason in
// problem, also when `written` says an earlier write failed.
bool finishWriting(std::FILE *out, bool written, const std::filesystem::path &path, std::string &problem);

// The whole text written to path, flushed to the disk and closed; false
// with the file and the system's reason in problem.
bool writeWholeFile(const std::filesystem::path &path, const std::string &text, std::string &problem);
