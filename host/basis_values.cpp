#include "basis_values.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

std::string formatNumber(double value) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::string describeRange(const Range &range) {
    return std::string(range.whole ? "a whole number" : "a number") + " from " +
           formatNumber(range.low) + " to " + formatNumber(range.high);
}

void reportProblem(BasisReader &reader, const toml::node *where, const std::string &key,
                   const std::string &problem, const std::string &allowed) {
    std::string line = reader.fileName;
    // a node made up by the reader has no place in the file
    if (where != nullptr && where->source().begin.line > 0) {
        line += ':';
        line += std::to_string(where->source().begin.line);
    }
    line += ": " + key + ": " + problem;
    if (!allowed.empty()) line += "; allowed: " + allowed;
    reader.errors->push_back(line);
}

std::string joinKey(const std::string &path, std::string_view key) {
    return path.empty() ? std::string(key) : path + "." + std::string(key);
}

void checkKnownKeys(BasisReader &reader, const toml::table &table, const std::string &path,
                    std::initializer_list<std::string_view> known) {
    std::string list;
    for (std::string_view name : known) list += (list.empty() ? "" : ", ") + std::string(name);
    for (auto &&[key, node] : table) {
        bool found = false;
        for (std::string_view name : known) found = found || key.str() == name;
        if (!found) {
            reportProblem(reader, &node, joinKey(path, key.str()), "unknown key",
                          "the keys " + list);
        }
    }
}

const toml::table *readTable(BasisReader &reader, const toml::table &parent, std::string_view key,
                             const std::string &path) {
    const toml::node *node = parent.get(key);
    if (node == nullptr) {
        reportProblem(reader, &parent, joinKey(path, key), "missing table", "");
        return nullptr;
    }
    if (!node->is_table()) {
        reportProblem(reader, node, joinKey(path, key), "not a table", "");
        return nullptr;
    }
    return node->as_table();
}

namespace {

// The node's text for a message: strings quoted, everything else as written.
std::string showNode(const toml::node &node) {
    std::ostringstream text;
    if (node.is_string()) {
        text << '"' << node.value_or(std::string()) << '"';
    } else if (node.is_array()) {
        text << "a list";
    } else if (node.is_table()) {
        text << "a table";
    } else {
        node.visit([&text](auto &&value) { text << value; });
    }
    return text.str();
}

bool checkRange(BasisReader &reader, const toml::node *where, const std::string &key,
                const Range &range, double value) {
    if (!std::isfinite(value)) {
        reportProblem(reader, where, key, formatNumber(value) + " is not a finite number",
                      describeRange(range));
        return false;
    }
    if (range.whole && value != std::trunc(value)) {
        reportProblem(reader, where, key, formatNumber(value) + " is not a whole number",
                      describeRange(range));
        return false;
    }
    if (value < range.low || value > range.high) {
        reportProblem(reader, where, key, formatNumber(value) + " is out of range",
                      describeRange(range));
        return false;
    }
    return true;
}

std::string trim(const std::string &text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// A whole text as a number, in the C locale's notation; false when any
// character is left over.
bool parseNumberText(const std::string &text, double &out) {
    const std::string body = trim(text);
    if (body.empty()) return false;
    const char *first = body.data();
    if (*first == '+') ++first;
    const auto result = std::from_chars(first, body.data() + body.size(), out);
    return result.ec == std::errc() && result.ptr == body.data() + body.size();
}

// The oldest age a table file may name: well past any table's last age, so
// that a wrong age gets a message of its own rather than an overflow.
constexpr int kHighestFileAge = 1000;

// Reads "age,value" lines of a table file into consecutive ages.
bool readTableFile(BasisReader &reader, const toml::node &fileNode, const std::string &key,
                   const Range &values, AgeTable &out) {
    const std::string name = fileNode.value_or(std::string());
    std::filesystem::path path(name);
    if (path.is_relative()) path = reader.baseDirectory / path;
    std::ifstream in(path);
    if (name.empty() || !in) {
        reportProblem(reader, &fileNode, key, "cannot read the table file \"" + name + "\"",
                      "a readable file of lines \"age,value\"");
        return false;
    }
    out = AgeTable{};
    std::string line;
    int lineNumber = 0;
    bool ok = true;
    bool headerSeen = false;
    while (std::getline(in, line)) {
        ++lineNumber;
        const std::string body = trim(line);
        if (body.empty() || body[0] == '#') continue;
        const size_t comma = body.find(',');
        double age = 0;
        double value = 0;
        const bool ageRead = comma != std::string::npos && parseNumberText(body.substr(0, comma), age);
        // one line of column names may stand before the first age
        if (!ageRead && out.values.empty() && ok && !headerSeen) {
            headerSeen = true;
            continue;
        }
        const std::string where = key + " (" + name + " line " + std::to_string(lineNumber) + ")";
        if (!ageRead || !parseNumberText(body.substr(comma + 1), value)) {
            reportProblem(reader, &fileNode, where, "\"" + body + "\" is not \"age,value\"",
                          "lines \"age,value\" with numbers");
            ok = false;
            continue;
        }
        // An age far outside any table (or not a number at all: nan, inf)
        // cannot become an int; it is refused before the sequence is checked.
        if (!std::isfinite(age) || age < 0.0 || age > kHighestFileAge) {
            reportProblem(reader, &fileNode, where, "age " + formatNumber(age) + " is out of range",
                          "ages from 0 to " + std::to_string(kHighestFileAge));
            ok = false;
            continue;
        }
        // a table holds one value per age from its first: at most
        // kHighestFileAge + 1 of them, so the sum stays far inside an int
        const int expectedAge = out.firstAge + static_cast<int>(out.values.size());
        if (out.values.empty()) {
            out.firstAge = static_cast<int>(age);
        } else if (age != expectedAge) {
            reportProblem(reader, &fileNode, where, "age " + formatNumber(age) + " breaks the sequence",
                          "consecutive ages, here " + std::to_string(expectedAge));
            ok = false;
            continue;
        }
        if (age != std::trunc(age)) {
            reportProblem(reader, &fileNode, where, "age " + formatNumber(age) + " is not whole",
                          "whole ages");
            ok = false;
        }
        ok = checkRange(reader, &fileNode, where, values, value) && ok;
        out.values.push_back(value);
    }
    return ok;
}

// Reads the rates list of { from = AGE, rates = [...] }.
bool readRateList(BasisReader &reader, const toml::node &listNode, const std::string &key,
                  const Range &values, int firstAge, std::vector<double> &out) {
    const toml::array *list = listNode.as_array();
    if (list == nullptr) {
        reportProblem(reader, &listNode, key, showNode(listNode) + " is not a list",
                      "a list of numbers, each " + describeRange(values));
        return false;
    }
    bool ok = true;
    out.clear();
    for (size_t i = 0; i < list->size(); ++i) {
        const std::string element = key + "[" + std::to_string(i) + "] (age " +
                                    std::to_string(firstAge + static_cast<int>(i)) + ")";
        double value = 0;
        ok = readNumberNode(reader, *list->get(i), element, values, value) && ok;
        out.push_back(value);
    }
    return ok;
}

} // namespace

bool readNumberNode(BasisReader &reader, const toml::node &node, const std::string &key,
                    const Range &range, double &out) {
    if (!node.is_number()) {
        reportProblem(reader, &node, key, showNode(node) + " is not a number", describeRange(range));
        return false;
    }
    const double value = node.value_or(0.0);
    if (!checkRange(reader, &node, key, range, value)) return false;
    out = value;
    return true;
}

bool readNumber(BasisReader &reader, const toml::table &table, std::string_view key,
                const std::string &path, const Range &range, double &out) {
    const toml::node *node = table.get(key);
    if (node == nullptr) {
        reportProblem(reader, &table, joinKey(path, key), "missing", describeRange(range));
        return false;
    }
    return readNumberNode(reader, *node, joinKey(path, key), range, out);
}

bool readWhole(BasisReader &reader, const toml::table &table, std::string_view key,
               const std::string &path, const Range &range, int &out) {
    Range whole = range;
    whole.whole = true;
    double value = 0;
    if (!readNumber(reader, table, key, path, whole, value)) return false;
    out = static_cast<int>(value);
    return true;
}

bool readText(BasisReader &reader, const toml::table &table, std::string_view key,
              const std::string &path, std::string &out) {
    const toml::node *node = table.get(key);
    if (node == nullptr) {
        reportProblem(reader, &table, joinKey(path, key), "missing", "a text in quotes");
        return false;
    }
    if (!node->is_string()) {
        reportProblem(reader, node, joinKey(path, key), showNode(*node) + " is not a text",
                      "a text in quotes");
        return false;
    }
    out = node->value_or(std::string());
    return true;
}

bool readAgeTable(BasisReader &reader, const toml::table &parent, std::string_view key,
                  const std::string &path, const AgeLimits &limits, const Range &values,
                  AgeTable &out) {
    const std::string name = joinKey(path, key);
    const std::string shape = "{ from = AGE, rates = [...] } or { file = \"table.csv\" } with 1 to " +
                              std::to_string(limits.maxCount) + " ages";
    const toml::node *node = parent.get(key);
    if (node == nullptr || !node->is_table()) {
        reportProblem(reader, node != nullptr ? node : &parent, name,
                      node == nullptr ? "missing" : showNode(*node) + " is not a table", shape);
        return false;
    }
    const toml::table &table = *node->as_table();
    bool ok = true;
    out = AgeTable{};
    if (table.contains("file")) {
        checkKnownKeys(reader, table, name, {"file"});
        ok = readTableFile(reader, *table.get("file"), name + ".file", values, out);
    } else {
        checkKnownKeys(reader, table, name, {"from", "rates"});
        ok = readWhole(reader, table, "from", name,
                       Range{double(limits.lowestFirstAge), double(limits.highestFirstAge), true},
                       out.firstAge);
        const toml::node *rates = table.get("rates");
        if (rates == nullptr) {
            reportProblem(reader, &table, name + ".rates", "missing", shape);
            return false;
        }
        ok = readRateList(reader, *rates, name + ".rates", values, out.firstAge, out.values) && ok;
    }
    if (!ok) return false;
    const int count = static_cast<int>(out.values.size());
    if (count < 1 || count > limits.maxCount) {
        reportProblem(reader, node, name, std::to_string(count) + " ages do not fit the table", shape);
        return false;
    }
    if (out.firstAge < limits.lowestFirstAge || out.firstAge > limits.highestFirstAge) {
        reportProblem(reader, node, name, "first age " + std::to_string(out.firstAge) + " is out of range",
                      "a first age from " + std::to_string(limits.lowestFirstAge) + " to " +
                          std::to_string(limits.highestFirstAge));
        return false;
    }
    return true;
}

double makehamDeathProbability(double a, double b, double c, double age) {
    return 1.0 - std::exp(-a - b * std::pow(c, age) * (c - 1.0) / std::log(c));
}

bool readRatesForAllAges(BasisReader &reader, const toml::table &parent, std::string_view key,
                         const std::string &path, const Range &values, bool allowLaw,
                         std::array<double, kOldestTableAge + 1> &out) {
    const std::string name = joinKey(path, key);
    const toml::node *node = parent.get(key);
    out.fill(0.0);
    if (node != nullptr && node->is_number() && !allowLaw) {
        // one rate for every age
        double value = 0;
        if (!readNumberNode(reader, *node, name, values, value)) return false;
        for (int age = 1; age <= kOldestTableAge; ++age) out[age] = value;
        return true;
    }
    if (node != nullptr && node->is_table() && node->as_table()->contains("makeham")) {
        const toml::table &table = *node->as_table();
        if (!allowLaw) {
            reportProblem(reader, node, name + ".makeham", "a law is not accepted here",
                          "a number or a by-age table");
            return false;
        }
        checkKnownKeys(reader, table, name, {"makeham", "age_shift"});
        const toml::table *law = readTable(reader, table, "makeham", name);
        if (law == nullptr) return false;
        checkKnownKeys(reader, *law, name + ".makeham", {"a", "b", "c"});
        double a = 0, b = 0, c = 0;
        int shift = 0;
        bool ok = readNumber(reader, *law, "a", name + ".makeham", Range{0.0, 0.1, false}, a);
        ok = readNumber(reader, *law, "b", name + ".makeham", Range{0.0, 0.1, false}, b) && ok;
        ok = readNumber(reader, *law, "c", name + ".makeham", Range{1.0001, 2.0, false}, c) && ok;
        if (table.contains("age_shift")) {
            ok = readWhole(reader, table, "age_shift", name, Range{-20, 20, true}, shift) && ok;
        }
        if (!ok) return false;
        for (int age = 1; age <= kOldestTableAge; ++age) {
            const double q = makehamDeathProbability(a, b, c, age + shift);
            // a steep law can pass 1 before the oldest age: no one lives on past it
            out[age] = q < 1.0 ? q : 1.0;
        }
        return true;
    }
    AgeTable table;
    const std::string form = allowLaw ? "a by-age table or { makeham = {...} } covering ages 1 to 119"
                                      : "a number or a by-age table covering ages 1 to 119";
    if (node == nullptr || !node->is_table()) {
        reportProblem(reader, node != nullptr ? node : &parent, name,
                      node == nullptr ? "missing" : showNode(*node) + " is not accepted", form);
        return false;
    }
    if (!readAgeTable(reader, parent, key, path, AgeLimits{1, 1, kOldestTableAge}, values, table)) {
        return false;
    }
    if (table.values.size() != static_cast<size_t>(kOldestTableAge)) {
        reportProblem(reader, node, name,
                      "covers ages " + std::to_string(table.firstAge) + " to " +
                          std::to_string(table.firstAge + int(table.values.size()) - 1),
                      form);
        return false;
    }
    for (int age = 1; age <= kOldestTableAge; ++age) out[age] = table.values[age - 1];
    return true;
}

bool readYearlyRates(BasisReader &reader, const toml::table &parent, std::string_view key,
                     const std::string &path, const Range &range,
                     std::array<double, kProjectionYears> &out) {
    const std::string name = joinKey(path, key);
    const std::string form = "one rate for every year, a list of 111 rates for years 0 to 110, or "
                             "{ rates = [year 0, year 1, ...], later = RATE }, each rate " +
                             describeRange(range);
    const toml::node *node = parent.get(key);
    if (node == nullptr) {
        reportProblem(reader, &parent, name, "missing", form);
        return false;
    }
    if (node->is_number()) {
        double value = 0;
        if (!readNumberNode(reader, *node, name, range, value)) return false;
        out.fill(value);
        return true;
    }
    const toml::array *list = node->as_array();
    double later = 0;
    bool ok = true;
    std::string listName = name;
    if (node->is_table()) {
        const toml::table &table = *node->as_table();
        checkKnownKeys(reader, table, name, {"rates", "later"});
        ok = readNumber(reader, table, "later", name, range, later);
        const toml::node *rates = table.get("rates");
        list = rates != nullptr ? rates->as_array() : nullptr;
        listName = name + ".rates";
        if (list == nullptr || list->size() > size_t(kProjectionYears)) {
            reportProblem(reader, rates != nullptr ? rates : node, listName,
                          rates == nullptr ? "missing" : "not a list of at most 111 rates", form);
            return false;
        }
    } else if (list == nullptr || list->size() != size_t(kProjectionYears)) {
        reportProblem(reader, node, name,
                      list == nullptr ? showNode(*node) + " is not accepted"
                                      : "a list of " + std::to_string(list->size()) + " rates",
                      form);
        return false;
    }
    out.fill(later);
    for (size_t year = 0; year < list->size(); ++year) {
        const std::string element = listName + "[" + std::to_string(year) + "] (year " +
                                    std::to_string(year) + ")";
        ok = readNumberNode(reader, *list->get(year), element, range, out[year]) && ok;
    }
    return ok;
}
