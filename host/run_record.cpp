#include "run_record.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "file_writing.h"

namespace {

// A JSON string: quotes, backslashes and control bytes escaped; other bytes
// (paths may hold any) as they are.
std::string quoted(const std::string &text) {
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string fileObject(const RecordedFile &file) {
    return "{\"path\": " + quoted(file.path) + ", \"size\": " + std::to_string(file.size) +
           ", \"sha256\": " + quoted(file.sha256) + "}";
}

// The shortest text that reads back to the same double.
std::string shortestNumber(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string quotedList(const std::vector<std::string> &items) {
    std::string list = "[";
    for (size_t i = 0; i < items.size(); ++i) list += (i == 0 ? "" : ", ") + quoted(items[i]);
    return list + "]";
}

// "valuation": null for a plain run; otherwise the curve, the options and
// the sensitivities valued.
std::string valuationObject(const RunRecord &record) {
    if (!record.presentValues) return "null";
    std::string text = "{\"discount_curve\": {\"form\": " + quoted(record.curveForm);
    if (record.curveForm != "basis_rates") {
        text += ", \"rates_given\": " + std::to_string(record.curveTermsGiven) + ", \"carried_on_to\": 110";
    }
    text += ", \"description\": " + quoted(record.curveDescription) + "}";
    text += std::string(", \"per_member\": ") + (record.perMember ? "true" : "false");
    text += ", \"sensitivities\": ";
    if (!record.sensitivitiesRun) return text + "null}";
    text += "[";
    for (size_t i = 0; i < record.sensitivities.size(); ++i) {
        text += std::string(i == 0 ? "" : ", ") + "{\"kind\": " + quoted(record.sensitivities[i].first) +
                ", \"size\": " + shortestNumber(record.sensitivities[i].second) + "}";
    }
    return text + "]}";
}

// "scenarios": null without a scenario set; otherwise its file, its size
// and what was valued of it.
std::string scenariosObject(const RunRecord &record) {
    if (!record.scenariosRun) return "null";
    return "{\"file\": " + fileObject(record.scenarioFile) +
           ", \"scenario_count\": " + std::to_string(record.scenarioCount) +
           ", \"scenarios_valued\": " + std::to_string(record.scenariosValued) +
           ", \"discount_curve\": " + quoted(record.scenarioCurve) +
           ", \"cashflows_per_scenario\": " + (record.scenarioCashflows ? "true" : "false") + "}";
}

} // namespace

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

std::string runRecordText(const RunRecord &record) {
    std::string command = "[";
    for (size_t i = 0; i < record.commandLine.size(); ++i)
        command += (i == 0 ? "" : ", ") + quoted(record.commandLine[i]);
    command += "]";
    std::string text = "{\n";
    text += "  \"program\": \"talvek\",\n";
    text += "  \"version\": " + quoted(record.version) + ",\n";
    text += "  \"started\": " + quoted(record.started) + ",\n";
    text += "  \"ended\": " + quoted(record.ended) + ",\n";
    text += "  \"command_line\": " + command + ",\n";
    text += "  \"basis_file\": " + fileObject(record.basis) + ",\n";
    text += "  \"member_file\": " + fileObject(record.members) + ",\n";
    text += "  \"valuation_year\": " + std::to_string(record.valuationYear) + ",\n";
    text += "  \"jobs\": " + std::to_string(record.jobs) + ",\n";
    text += "  \"lines_read\": " + std::to_string(record.linesRead) + ",\n";
    text += "  \"members_valued\": " + std::to_string(record.membersValued) + ",\n";
    text += "  \"rejected\": " + std::to_string(record.rejected) + ",\n";
    text += "  \"skipped\": " + std::to_string(record.skipped) + ",\n";
    text += "  \"errors\": " + std::to_string(record.errors) + ",\n";
    text += "  \"exit_status\": " + std::to_string(record.exitStatus) + ",\n";
    text += "  \"stopped_by\": " + (record.stoppedBy.empty() ? std::string("null") : quoted(record.stoppedBy)) +
            ",\n";
    text += "  \"valuation\": " + valuationObject(record) + ",\n";
    text += "  \"scenarios\": " + scenariosObject(record) + ",\n";
    text += "  \"files\": " + quotedList(record.files) + ",\n";
    text += std::string("  \"complete\": ") + (record.complete ? "true" : "false") + "\n";
    return text + "}\n";
}

bool writeRunRecord(const std::filesystem::path &path, const RunRecord &record, std::string &problem) {
    return writeWholeFile(path, runRecordText(record), problem);
}
