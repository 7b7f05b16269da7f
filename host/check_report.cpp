#include "check_report.h"

#include "basis_file.h"

namespace {

// Bytes a terminal shows as they are; others as "\xNN".
std::string printable(const std::string &text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (unsigned char c : text) {
        if (c >= 32 && c != 127) {
            shown += static_cast<char>(c);
        } else {
            shown += "\\x";
            shown += kHex[c >> 4];
            shown += kHex[c & 15];
        }
    }
    return shown;
}

// A cell of a CSV file, quoted where it holds a comma, a quote or a line end.
std::string csvCell(const std::string &text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

} // namespace

std::string describeProblem(const CheckProblem &p, const std::string &memberFile) {
    std::string line = memberFile;
    if (p.line > 0) line += ":" + std::to_string(p.line);
    line += ": ";
    if (p.column > 0) {
        line += "column " + std::to_string(p.column);
        if (p.field > 0) line += std::string(" (") + kMemberFieldNames[p.field] + ")";
        line += " \"" + printable(p.text) + "\": ";
    } else if (p.field > 0) {
        line += std::string(kMemberFieldNames[p.field]) + ": ";
    }
    return line + printable(p.detail);
}

int64_t printFindings(std::FILE *out, const MemberCheck &check, const std::string &memberFile, bool warnings,
                      int limit) {
    int64_t found = 0;
    for (const CheckProblem &problem : check.problems) {
        if (ruleInfo(problem.rule).warning != warnings) continue;
        if (found < limit) std::fprintf(out, "%s\n", describeProblem(problem, memberFile).c_str());
        ++found;
    }
    if (found > limit) {
        std::fprintf(out, "... and %lld more %s\n", static_cast<long long>(found - limit),
                     warnings ? "warnings" : "errors");
    }
    return found;
}

bool writeDataCheck(const std::filesystem::path &path, const MemberCheck &check) {
    std::string text = "line,column,member,field,rule,kind,value,detail\n";
    for (const CheckProblem &p : check.problems) {
        const RuleInfo &info = ruleInfo(p.rule);
        text += std::to_string(p.line) + "," + std::to_string(p.column) + "," + csvCell(p.member) + "," +
                (p.field > 0 ? kMemberFieldNames[p.field] : "") + "," + info.name + "," +
                (info.warning ? "warning" : "error") + "," + csvCell(p.text) + "," + csvCell(p.detail) + "\n";
    }
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    return std::fclose(out) == 0 && written;
}
