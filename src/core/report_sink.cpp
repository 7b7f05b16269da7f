#include "core/report_sink.h"

#include <cerrno>

void writeReport(ReportSink &sink, const char *bytes, size_t length) {
    if (length == 0) return;
    if (sink.file != nullptr) {
        if (std::fwrite(bytes, 1, length, sink.file) != length && !sink.failed) {
            sink.failed = true;
            sink.reason = errno;
        }
        return;
    }
    if (sink.kept != nullptr) sink.kept->append(bytes, length);
}

bool writeKeptText(std::FILE *file, const std::string &text) {
    if (text.empty()) return true;
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}
