#include "member_file_basis.h"

#include <cctype>

#include "basis_file.h"

namespace {

constexpr int kDelimiterCodes = 4; // 1 tab, 2 comma, 3 semicolon, 4 space
const char *const kDelimiterNames[kDelimiterCodes + 1] = {"", "tab", "comma", "semicolon", "space"};
const char kDelimiterChars[kDelimiterCodes + 1] = {0, '\t', ',', ';', ' '};
constexpr int kCommaDelimiter = 2;
constexpr size_t kStatusCodeWidth = 5; // the member file holds at most 5 characters of status

// An optional true or false; absent keeps the default.
void readOptionalFlag(BasisReader &reader, const toml::table &table, const char *key,
                      const std::string &path, bool &out) {
    const toml::node *node = table.get(key);
    if (node == nullptr) return;
    if (!node->is_boolean()) {
        reportProblem(reader, node, joinKey(path, key), "not true or false", "true or false");
        return;
    }
    out = node->value_or(false);
}

// An optional text out of a list; absent keeps index 0, the default.
int readOptionalChoice(BasisReader &reader, const toml::table &table, const char *key,
                       const std::string &path, std::initializer_list<const char *> choices) {
    if (!table.contains(key)) return 0;
    std::string text;
    std::string allowed;
    for (const char *choice : choices) allowed += (allowed.empty() ? "\"" : " or \"") + std::string(choice) + "\"";
    if (!readText(reader, table, key, path, text)) return 0;
    int index = 0;
    for (const char *choice : choices) {
        if (text == choice) return index;
        ++index;
    }
    reportProblem(reader, table.get(key), joinKey(path, key), "\"" + text + "\" is not accepted", allowed);
    return 0;
}

void readDelimiter(BasisReader &reader, const toml::table &memberFile, PlanBasis &basis) {
    std::string delimiter;
    if (!readText(reader, memberFile, "delimiter", "member_file", delimiter)) return;
    for (int code = 1; code <= kDelimiterCodes; ++code) {
        if (delimiter == kDelimiterNames[code]) basis.delimiterCode = code;
    }
    if (basis.delimiterCode == 0) {
        reportProblem(reader, memberFile.get("delimiter"), "member_file.delimiter",
                      "\"" + delimiter + "\" is not a delimiter",
                      "\"tab\", \"comma\", \"semicolon\" or \"space\"");
    }
}

// The way the file is written: layout, header row, decimal separator.
void readFileForm(BasisReader &reader, const toml::table &memberFile, PlanBasis &basis) {
    const std::string path = "member_file";
    basis.spreadsheetLayout = readOptionalChoice(reader, memberFile, "layout", path, {"library", "spreadsheet"}) == 1;
    readOptionalFlag(reader, memberFile, "header", path, basis.headerRow);
    const bool comma = readOptionalChoice(reader, memberFile, "decimal_separator", path, {"point", "comma"}) == 1;
    basis.decimalSeparator = comma ? ',' : '.';
    // a comma cannot both part the fields and the decimals
    if (comma && basis.delimiterCode == kCommaDelimiter) {
        reportProblem(reader, memberFile.get("decimal_separator"), path + ".decimal_separator",
                      "\"comma\" is also the delimiter",
                      "\"point\", or \"comma\" with the delimiter \"tab\", \"semicolon\" or \"space\"");
    }
}

// One field's column: a position, or the header text that names it.
void readFieldColumn(BasisReader &reader, const toml::table &columns, int field, PlanBasis &basis) {
    const std::string sub = "member_file.columns";
    const char *name = kMemberFieldNames[field];
    const std::string key = joinKey(sub, name);
    const int lastColumn = basis.spreadsheetLayout ? kMaxSheetColumn : kMaxColumn;
    const std::string allowed = "a whole number from 1 to " + std::to_string(lastColumn) +
                                ", each field its own column, or the column's header text with header = true";
    const toml::node *node = columns.get(name);
    // a member without status, age or sex could not be valued
    const bool required = field == 2 || field == 3 || field == 4;
    if (node == nullptr) {
        if (required) reportProblem(reader, &columns, key, "missing", allowed);
        return;
    }
    if (node->is_string()) {
        const std::string text = node->value_or(std::string());
        if (!basis.headerRow) {
            reportProblem(reader, node, key, "\"" + text + "\" names a column but the file has no header row",
                          allowed);
        } else if (headerKey(text).empty()) {
            reportProblem(reader, node, key, "an empty header text", allowed);
        }
        for (int other = 1; other < field; ++other) {
            if (!basis.fieldHeader[other].empty() && headerKey(basis.fieldHeader[other]) == headerKey(text)) {
                reportProblem(reader, node, key, "\"" + text + "\" already names " + std::string(kMemberFieldNames[other]),
                              allowed);
            }
        }
        basis.fieldHeader[field] = text;
        return;
    }
    int column = 0;
    if (!readWhole(reader, columns, name, sub, Range{1, double(lastColumn), true}, column)) return;
    for (int other = 1; other < field; ++other) {
        if (basis.fieldColumn[other] == column) {
            reportProblem(reader, node, key,
                          "column " + std::to_string(column) + " is already " + kMemberFieldNames[other],
                          "a column of its own from 1 to " + std::to_string(lastColumn));
        }
    }
    basis.fieldColumn[field] = column;
}

void readColumns(BasisReader &reader, const toml::table &memberFile, PlanBasis &basis) {
    const toml::table *columns = readTable(reader, memberFile, "columns", "member_file");
    if (columns == nullptr) return;
    checkKnownKeys(reader, *columns, "member_file.columns",
                   {kMemberFieldNames[1], kMemberFieldNames[2], kMemberFieldNames[3],
                    kMemberFieldNames[4], kMemberFieldNames[5], kMemberFieldNames[6],
                    kMemberFieldNames[7], kMemberFieldNames[8], kMemberFieldNames[9],
                    kMemberFieldNames[10], kMemberFieldNames[11], kMemberFieldNames[12],
                    kMemberFieldNames[13], kMemberFieldNames[14]});
    for (int field = 1; field <= kMemberFields; ++field) readFieldColumn(reader, *columns, field, basis);
}

void readStatusCodes(BasisReader &reader, const toml::table &memberFile, PlanBasis &basis) {
    const toml::table *codes = readTable(reader, memberFile, "status_codes", "member_file");
    if (codes == nullptr) return;
    const std::string sub = "member_file.status_codes";
    checkKnownKeys(reader, *codes, sub,
                   {kStatusNames[1], kStatusNames[2], kStatusNames[3], kStatusNames[4], kStatusNames[5]});
    const std::string allowed = "a text of up to 5 characters, without the delimiter, "
                                "different from the other codes";
    for (int status = 1; status <= kStatuses; ++status) {
        std::string code;
        if (!readText(reader, *codes, kStatusNames[status], sub, code)) continue;
        const toml::node *where = codes->get(kStatusNames[status]);
        const std::string key = joinKey(sub, kStatusNames[status]);
        const char delimiterChar = kDelimiterChars[basis.delimiterCode];
        if (code.size() > kStatusCodeWidth) {
            reportProblem(reader, where, key, "\"" + code + "\" is longer than 5 characters", allowed);
        } else if (code.find_first_of(std::string("\n\r!") + delimiterChar) != std::string::npos) {
            reportProblem(reader, where, key, "\"" + code + "\" holds a character the file cannot", allowed);
        }
        for (int other = 1; other < status; ++other) {
            if (!code.empty() && basis.statusCodes[other] == code) {
                reportProblem(reader, where, key, "\"" + code + "\" is already " + kStatusNames[other], allowed);
            }
        }
        basis.statusCodes[status] = code;
    }
}

} // namespace

std::string headerKey(const std::string &text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && (text[first] == ' ' || text[first] == '\t')) ++first;
    while (last > first && (text[last - 1] == ' ' || text[last - 1] == '\t')) --last;
    std::string key = text.substr(first, last - first);
    for (char &c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

void readMemberFileSection(BasisReader &reader, const toml::table &root, PlanBasis &basis) {
    const toml::table *memberFile = readTable(reader, root, "member_file", "");
    if (memberFile == nullptr) return;
    checkKnownKeys(reader, *memberFile, "member_file",
                   {"delimiter", "layout", "header", "decimal_separator", "columns", "status_codes"});
    readDelimiter(reader, *memberFile, basis);
    readFileForm(reader, *memberFile, basis);
    readColumns(reader, *memberFile, basis);
    readStatusCodes(reader, *memberFile, basis);
}
