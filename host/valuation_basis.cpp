#include "valuation_basis.h"

#include <cmath>

#include "valuation_basis_file.h"

std::vector<Sensitivity> defaultSensitivities() {
    return {{SensitivityKind::DiscountRate, -0.005}, {SensitivityKind::DiscountRate, 0.005},
            {SensitivityKind::Inflation, -0.005},    {SensitivityKind::Inflation, 0.005},
            {SensitivityKind::SalaryGrowth, -0.005}, {SensitivityKind::SalaryGrowth, 0.005},
            {SensitivityKind::Mortality, 0.9},       {SensitivityKind::Mortality, 1.1}};
}

const char *sensitivityName(SensitivityKind kind) {
    switch (kind) {
    case SensitivityKind::DiscountRate: return "discount_rate";
    case SensitivityKind::Inflation: return "inflation";
    case SensitivityKind::SalaryGrowth: return "salary_growth";
    case SensitivityKind::Mortality: return "mortality";
    }
    return "";
}

const char *curveFormName(CurveForm form) {
    switch (form) {
    case CurveForm::BasisRates: return "basis_rates";
    case CurveForm::SpotRates: return "spot_rates";
    case CurveForm::ForwardRates: return "forward_rates";
    }
    return "";
}

namespace {

// A number strictly above low and at most high (inclusive ranges are
// Range's; a rate of exactly -1 would make 1 + rate 0).
struct OpenBelow {
    double low;
    double high;
};

std::string describeOpenBelow(const OpenBelow &range) {
    return "a number above " + formatNumber(range.low) + " and at most " + formatNumber(range.high);
}

// A discount rate: 1 + rate must stay above 0; no upper bound matters to the
// arithmetic, one of 100 % a year is taken as the largest sensible
constexpr OpenBelow kCurveRate{-1, 1};
// a shift of a rate: the shifted rates must keep 1 + rate above 0
constexpr OpenBelow kRateShift{-1, 1};
// a factor on mortality rates: above 0 (rates times the factor are capped at 1)
constexpr OpenBelow kMortalityFactor{0, 10};

bool readOpenBelow(BasisReader &reader, const toml::node &node, const std::string &key, const OpenBelow &range,
                   double &out) {
    if (!node.is_number()) {
        reportProblem(reader, &node, key, (node.is_string() ? "\"" + node.value_or(std::string()) + "\"" : "a value") +
                                              " is not a number",
                      describeOpenBelow(range));
        return false;
    }
    const double value = node.value_or(0.0);
    if (!std::isfinite(value)) {
        reportProblem(reader, &node, key, formatNumber(value) + " is not a finite number", describeOpenBelow(range));
        return false;
    }
    if (!(value > range.low) || value > range.high) {
        reportProblem(reader, &node, key, formatNumber(value) + " is out of range", describeOpenBelow(range));
        return false;
    }
    out = value;
    return true;
}

// [discount]: spot_rates = [term 1, term 2, ...] or forward_rates = [year 1,
// year 2, ...], 1 to 110 rates, exactly one of the two.
void readDiscount(BasisReader &reader, const toml::table &root, ValuationBasis &out) {
    const toml::node *node = root.get("discount");
    if (node == nullptr) return; // the basis's two discount rates
    const std::string path = "discount";
    const std::string shape = "exactly one of spot_rates = [term 1, term 2, ...] (annual spot rates by term) or "
                              "forward_rates = [year 1, year 2, ...] (the rate of each year), 1 to 110 rates";
    if (!node->is_table()) {
        reportProblem(reader, node, path, "not a table", shape);
        return;
    }
    const toml::table &table = *node->as_table();
    checkKnownKeys(reader, table, path, {"spot_rates", "forward_rates"});
    const toml::node *spot = table.get("spot_rates");
    const toml::node *forward = table.get("forward_rates");
    if ((spot == nullptr) == (forward == nullptr)) {
        reportProblem(reader, node, path, spot == nullptr ? "neither spot_rates nor forward_rates" : "both spot_rates and forward_rates", shape);
        return;
    }
    const bool spotGiven = spot != nullptr;
    const toml::node *listNode = spotGiven ? spot : forward;
    const std::string key = joinKey(path, spotGiven ? "spot_rates" : "forward_rates");
    const toml::array *list = listNode->as_array();
    if (list == nullptr || list->empty() || list->size() > size_t(kCurveYears)) {
        reportProblem(reader, listNode, key,
                      list == nullptr ? "not a list" : "a list of " + std::to_string(list->size()) + " rates", shape);
        return;
    }
    bool ok = true;
    for (size_t i = 0; i < list->size(); ++i) {
        const std::string element =
            key + "[" + std::to_string(i) + "] (" + (spotGiven ? "term " : "year ") + std::to_string(i + 1) + ")";
        ok = readOpenBelow(reader, *list->get(i), element, kCurveRate, out.curve[i + 1]) && ok;
    }
    if (!ok) return;
    // a curve shorter than 110 years: its last rate holds for every later term or year
    for (size_t t = list->size() + 1; t <= size_t(kCurveYears); ++t) out.curve[t] = out.curve[list->size()];
    out.curveForm = spotGiven ? CurveForm::SpotRates : CurveForm::ForwardRates;
    out.termsGiven = static_cast<int>(list->size());
}

// [sensitivities]: a list of sizes for each kind; the table replaces the whole
// default set (a kind it leaves out has no sensitivity).
void readSensitivities(BasisReader &reader, const toml::table &root, ValuationBasis &out) {
    out.sensitivities = defaultSensitivities();
    const toml::node *node = root.get("sensitivities");
    if (node == nullptr) return;
    const std::string path = "sensitivities";
    if (!node->is_table()) {
        reportProblem(reader, node, path, "not a table",
                      "a table of lists: discount_rate, inflation, salary_growth, mortality");
        return;
    }
    const toml::table &table = *node->as_table();
    checkKnownKeys(reader, table, path, {"discount_rate", "inflation", "salary_growth", "mortality"});
    out.sensitivitiesGiven = true;
    out.sensitivities.clear();
    // in the order of the kinds, each list in its own order
    for (int k = 1; k <= kSensitivityKinds; ++k) {
        const SensitivityKind kind = static_cast<SensitivityKind>(k);
        const toml::node *sizes = table.get(sensitivityName(kind));
        if (sizes == nullptr) continue;
        const std::string key = joinKey(path, sensitivityName(kind));
        const OpenBelow range = kind == SensitivityKind::Mortality ? kMortalityFactor : kRateShift;
        const std::string what = kind == SensitivityKind::Mortality ? "factors" : "rates added";
        const toml::array *list = sizes->as_array();
        if (list == nullptr) {
            reportProblem(reader, sizes, key, "not a list", "a list of " + what + ", each " + describeOpenBelow(range));
            continue;
        }
        for (size_t i = 0; i < list->size(); ++i) {
            Sensitivity sensitivity{kind, 0};
            if (readOpenBelow(reader, *list->get(i), key + "[" + std::to_string(i) + "]", range, sensitivity.size))
                out.sensitivities.push_back(sensitivity);
        }
    }
    size_t given = 0;
    for (auto &&[name, sizes] : table) given += sizes.is_array() ? sizes.as_array()->size() : 0;
    if (given > size_t(kMaxSensitivities)) {
        reportProblem(reader, node, path, std::to_string(given) + " sensitivities",
                      "at most " + std::to_string(kMaxSensitivities) + " in all");
    }
}

} // namespace

void readValuationTables(BasisReader &reader, const toml::table &root, ValuationBasis &out) {
    out = ValuationBasis{};
    readDiscount(reader, root, out);
    readSensitivities(reader, root, out);
}
