#include "api/plausible_plan_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

void fillPlausiblePlan(TestHost &host) {
    // Mortality rising with age, women lighter; 1 % improvement a year.
    for (int x = 1; x <= 119; ++x) {
        const double male = std::min(0.0004 * std::exp(0.085 * (x - 20)), 0.9);
        host.baseMortality[x] = male;
        host.baseMortality[x + 121] = 0.8 * male;
        host.mortalityImprovement[x] = 0.01;
        host.mortalityImprovement[x + 121] = 0.01;
    }
    std::vector<double> &plan = host.planParameters;
    plan[1] = 0.06, plan[2] = 0.09, plan[3] = 0.04, plan[4] = 0.05;
    plan[5] = 5;     // averaging years
    plan[6] = 0.015; // accrual up to the average ceiling
    plan[7] = 0.02;  // above it
    plan[8] = 0.002; // bridge rate
    plan[9] = 0.8;   // indexation share
    plan[12] = 0.6;  // spouse fraction
    plan[13] = 5;    // guarantee period
    plan[14] = 60;   // bridge pensions from 60 ...
    plan[15] = 64;   // ... to 64

    // Retirement ages 58..68; ten service bands of 4 years with factors
    // rising with age and service.
    host.retirementFactors[1] = 58;
    host.retirementFactors[21] = 68;
    for (int k = 1; k <= 10; ++k) {
        host.retirementFactors[22 * k] = 4 * (k - 1);
        for (int column = 1; column <= 21; ++column) {
            host.retirementFactors[22 * k + column] = 0.7 + 0.02 * column + 0.01 * k;
        }
    }
    std::vector<double> &demographic = host.demographicParameters;
    demographic[1] = 1.1; // disablement loading
    demographic[2] = 5;   // disabled age addition
    demographic[3] = 0.4; // transfer share
    demographic[4] = 3;   // spouse age difference
    demographic[5] = 0;   // deferred members retire by the rate table

    std::vector<double> &economic = host.economicParameters;
    economic[3] = 0.02;
    economic[11] = 0.03, economic[12] = 0.035;
    economic[15] = 0.02, economic[16] = 0.018;
    economic[19] = 60000;

    // By-age tables: first age at 1, last age at 26/31/46, values after.
    host.retirementRates[1] = 58, host.retirementRates[26] = 68;
    for (int i = 28; i < 54; ++i) host.retirementRates[i] = 0.1 + 0.01 * (i - 28);
    host.withdrawalRates[1] = 20, host.withdrawalRates[31] = 50;
    for (int i = 33; i < 64; ++i) host.withdrawalRates[i] = 0.08 - 0.002 * (i - 33);
    host.disabilityRates[1] = 20, host.disabilityRates[46] = 65;
    for (int i = 48; i < 94; ++i) host.disabilityRates[i] = 0.001 + 0.0002 * (i - 48);
    host.salaryScale[1] = 20, host.salaryScale[46] = 65;
    for (int i = 48; i < 94; ++i) host.salaryScale[i] = 0.04 - 0.0005 * (i - 48);
    for (int t = 0; t < 111; ++t) {
        host.yearlyRates[t] = 0.02;        // inflation
        host.yearlyRates[t + 111] = 0.01;  // real salary growth
    }
}

std::string memberLine(const MemberFields &f) {
    char text[400];
    std::snprintf(text, sizeof text,
                  "%s\t%s\t%d\t%c\t%.2f\t%.2f\t%.2f\t%.2f\t%c\t%d\t%d\t%.2f\t%.3f\t%.2f\t\n",
                  f.number.c_str(), f.status.c_str(), f.age, f.sex, f.salary,
                  f.serviceWithGuarantee, f.serviceWithoutGuarantee, f.pension, f.marital,
                  f.spouseAge, f.yearsRetired, f.bridge, f.guaranteedFraction, f.averageSalary);
    return text;
}

std::vector<MemberFields> membersOfEveryStatus() {
    std::vector<MemberFields> members;
    const char *statuses[] = {"A", "B", "C", "D", "E"};
    const int ages[] = {16, 25, 40, 57, 63, 70, 85, 104, 119};
    int n = 0;
    for (int s = 0; s < 5; ++s) {
        for (const int age : ages) {
            for (const char sex : {'M', 'f'}) {
                MemberFields f{};
                f.number = "H" + std::to_string(++n);
                f.status = statuses[s];
                f.age = age;
                f.sex = sex;
                f.salary = s == 0 ? 30000 + 500.0 * age : 0;
                f.serviceWithGuarantee = 52.0 * std::min(age - 15, 40);
                f.serviceWithoutGuarantee = age > 30 ? 104 : 0;
                f.pension = s == 0 ? 0 : 8000 + 100.0 * age;
                f.marital = n % 3 == 0 ? 'S' : 'M';
                f.spouseAge = n % 2 == 0 ? 0 : std::min(age + 2, 119);
                f.yearsRetired = s == 1 || s == 2 ? std::min(std::max(age - 60, 0), 50) : 0;
                f.bridge = s == 1 || s == 3 ? 1200 : 0;
                f.guaranteedFraction = 0.75;
                f.averageSalary = s == 3 ? 45000 : 0;
                members.push_back(f);
            }
        }
    }
    return members;
}

std::string memberFileOf(const std::vector<MemberFields> &members) {
    std::string text;
    for (const MemberFields &f : members) text += memberLine(f);
    return text;
}

bool allResultsFinite(const TestHost &host) {
    for (const std::vector<double> *values :
         {&host.memberCounts, &host.decrementCounts, &host.benefitCashflows}) {
        for (const double v : *values) {
            if (!std::isfinite(v)) return false;
        }
    }
    return true;
}
