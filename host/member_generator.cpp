#include "member_generator.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kWeeksPerYear = 365.25 / 7.0;
constexpr int kYearsSinceReform = 8; // service of the last 8 years carries no inflation guarantee

// Shares of the statuses, in percent of all members.
constexpr int kInServicePercent = 40;
constexpr int kPensionerPercent = 25;
constexpr int kDisabledPercent = 5;
constexpr int kDeferredPercent = 20; // the rest are surviving spouses

int uniformWhole(MemberRandom &random, int low, int high) {
    return low + static_cast<int>(uniformRandom(random) * (high - low + 1));
}

// Roughly standard normal: the sum of twelve uniforms less six.
double normalRandom(MemberRandom &random) {
    double sum = 0.0;
    for (int i = 0; i < 12; ++i) sum += uniformRandom(random);
    return sum - 6.0;
}

// A positive amount spread around `median`, skewed to the right.
double spreadAmount(MemberRandom &random, double median, double spread) {
    return median * std::exp(spread * normalRandom(random));
}

bool chance(MemberRandom &random, double probability) { return uniformRandom(random) < probability; }

void appendWhole(std::string &text, int64_t value) {
    char digits[24];
    int count = 0;
    const bool negative = value < 0;
    uint64_t rest = negative ? uint64_t(-value) : uint64_t(value);
    do {
        digits[count++] = static_cast<char>('0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (negative) text += '-';
    while (count > 0) text += digits[--count];
}

// A non-negative amount with `decimals` places, rounded half up.
void appendFixed(std::string &text, double value, int decimals) {
    const int64_t scale = decimals == 3 ? 1000 : 100;
    const int64_t units = static_cast<int64_t>(std::floor(value * double(scale) + 0.5));
    appendWhole(text, units / scale);
    text += '.';
    int64_t fraction = units % scale;
    for (int64_t place = scale / 10; place > 0; place /= 10) {
        text += static_cast<char>('0' + fraction / place);
        fraction %= place;
    }
}

struct MemberLine {
    char status;           // A, P, D, V or S
    int age;
    char sex;              // M or F
    double annualSalary;   // 0: field left empty
    double weeksWithGuarantee;
    double weeksWithoutGuarantee;
    double currentPension;
    char maritalStatus;    // M, S or U
    int spouseAge;         // 0: left empty
    int yearsRetired;
    double bridgePension;
    double guaranteedFraction; // -1: left empty
    double averageSalary;
};

// A spouse's age for a member married at `age`: wives a few years younger on
// average, husbands a few years older.
int spouseAgeFor(MemberRandom &random, int age, char sex) {
    const double gap = 3.0 + 2.5 * normalRandom(random);
    const int spouse = static_cast<int>(std::lround(sex == 'M' ? age - gap : age + gap));
    return std::clamp(spouse, 18, 105);
}

// Service in weeks over `years`: the service since the reform has no guarantee.
void splitService(double years, MemberLine &line) {
    const double weeks = std::round(years * kWeeksPerYear * 100.0) / 100.0;
    const double recent = std::min(weeks, std::round(kYearsSinceReform * kWeeksPerYear * 100.0) / 100.0);
    line.weeksWithoutGuarantee = recent;
    line.weeksWithGuarantee = weeks - recent;
}

void marry(MemberRandom &random, MemberLine &line, double marriedShare) {
    const double draw = uniformRandom(random);
    line.maritalStatus = draw < marriedShare ? 'M' : draw < marriedShare + 0.05 ? 'U' : 'S';
    if (line.maritalStatus == 'M') line.spouseAge = spouseAgeFor(random, line.age, line.sex);
}

// Part of the pension that carries the inflation guarantee: whole percent
// from 40 to 100.
double guaranteedShare(MemberRandom &random) { return uniformWhole(random, 40, 100) / 100.0; }

void makeInService(MemberRandom &random, MemberLine &line) {
    // ages 20..64, most in the middle
    line.age = 20 + static_cast<int>((uniformRandom(random) + uniformRandom(random)) * 22.5);
    line.sex = chance(random, 0.52) ? 'M' : 'F';
    const double careerGrowth = 1.0 + 0.025 * (line.age - 20);
    line.annualSalary = std::round(spreadAmount(random, 32000.0 * careerGrowth, 0.3) * 100.0) / 100.0;
    const double entryAge = line.age - uniformRandom(random) * (line.age - 18);
    splitService(line.age - entryAge, line);
    marry(random, line, line.age < 28 ? 0.3 : 0.65);
}

void makePensioner(MemberRandom &random, MemberLine &line) {
    const int retirementAge = uniformWhole(random, 60, 66);
    const double draw = uniformRandom(random);
    line.yearsRetired = std::min(50, static_cast<int>(draw * draw * 36.0));
    line.age = std::min(110, retirementAge + line.yearsRetired);
    line.sex = chance(random, 0.55) ? 'M' : 'F';
    line.currentPension = std::round(spreadAmount(random, 17000.0, 0.35) * 100.0) / 100.0;
    line.guaranteedFraction = guaranteedShare(random);
    // bridge pensions run until 65
    if (line.age < 65) line.bridgePension = std::round(uniformWhole(random, 300000, 800000)) / 100.0;
    marry(random, line, 0.65);
}

void makeDisabled(MemberRandom &random, MemberLine &line) {
    line.age = uniformWhole(random, 30, 64);
    line.sex = chance(random, 0.5) ? 'M' : 'F';
    line.currentPension = std::round(spreadAmount(random, 14000.0, 0.3) * 100.0) / 100.0;
    line.guaranteedFraction = guaranteedShare(random);
    marry(random, line, 0.55);
}

void makeDeferred(MemberRandom &random, MemberLine &line) {
    line.age = uniformWhole(random, 25, 64);
    line.sex = chance(random, 0.5) ? 'M' : 'F';
    const double years = 2.0 + uniformRandom(random) * std::min(25.0, line.age - 22.0);
    splitService(years, line);
    line.averageSalary = std::round(spreadAmount(random, 38000.0, 0.3) * 100.0) / 100.0;
    marry(random, line, 0.55);
}

void makeSurvivingSpouse(MemberRandom &random, MemberLine &line) {
    line.age = std::min(105, 50 + static_cast<int>((uniformRandom(random) + uniformRandom(random)) * 25.0));
    line.sex = chance(random, 0.8) ? 'F' : 'M';
    line.currentPension = std::round(spreadAmount(random, 9000.0, 0.35) * 100.0) / 100.0;
    line.guaranteedFraction = guaranteedShare(random);
    line.maritalStatus = 'S';
}

void appendAmountField(std::string &text, double amount) {
    if (amount > 0.0) appendFixed(text, amount, 2);
    text += ',';
}

} // namespace

uint64_t nextRandom(MemberRandom &random) {
    uint64_t z = (random.state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

double uniformRandom(MemberRandom &random) {
    return static_cast<double>(nextRandom(random) >> 11) * 0x1.0p-53;
}

void appendMemberLine(std::string &text, MemberRandom &random, int64_t index) {
    MemberLine line{};
    line.guaranteedFraction = -1.0;
    const int draw = uniformWhole(random, 0, 99);
    if (draw < kInServicePercent) {
        line.status = 'A';
        makeInService(random, line);
    } else if (draw < kInServicePercent + kPensionerPercent) {
        line.status = 'P';
        makePensioner(random, line);
    } else if (draw < kInServicePercent + kPensionerPercent + kDisabledPercent) {
        line.status = 'D';
        makeDisabled(random, line);
    } else if (draw < kInServicePercent + kPensionerPercent + kDisabledPercent + kDeferredPercent) {
        line.status = 'V';
        makeDeferred(random, line);
    } else {
        line.status = 'S';
        makeSurvivingSpouse(random, line);
    }

    // member_number, status, age, sex, each followed by the delimiter
    text += 'M';
    const size_t numberStart = text.size();
    appendWhole(text, index);
    const size_t digits = text.size() - numberStart;
    if (digits < 7) text.insert(numberStart, 7 - digits, '0');
    text += ',';
    text += line.status;
    text += ',';
    appendWhole(text, line.age);
    text += ',';
    text += line.sex;
    text += ',';
    appendAmountField(text, line.annualSalary);
    appendAmountField(text, line.weeksWithGuarantee);
    appendAmountField(text, line.weeksWithoutGuarantee);
    appendAmountField(text, line.currentPension);
    text += line.maritalStatus;
    text += ',';
    if (line.spouseAge > 0) appendWhole(text, line.spouseAge);
    text += ',';
    if (line.yearsRetired > 0) appendWhole(text, line.yearsRetired);
    text += ',';
    appendAmountField(text, line.bridgePension);
    if (line.guaranteedFraction >= 0.0) appendFixed(text, line.guaranteedFraction, 3);
    text += ',';
    appendAmountField(text, line.averageSalary);
    text += '\n';
}

bool generateMembers(std::FILE *out, int64_t members, uint64_t seed) {
    MemberRandom random{seed};
    std::string text;
    constexpr size_t kFlushAt = 1 << 20;
    text.reserve(kFlushAt + 256);
    for (int64_t index = 1; index <= members; ++index) {
        appendMemberLine(text, random, index);
        if (text.size() >= kFlushAt || index == members) {
            if (std::fwrite(text.data(), 1, text.size(), out) != text.size()) return false;
            text.clear();
        }
    }
    return std::fflush(out) == 0;
}
