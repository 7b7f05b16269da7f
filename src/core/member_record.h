// One member line as the run understood it: the parsed fields and the
// quantities derived from them.
#pragma once

#include <cstdint>

struct MemberRecord {
    // Kept from the previous line until their column is parsed on this one;
    // always NUL-terminated, 10 and 5 characters once a line has set them.
    char memberNumber[11];
    char statusCode[6];

    int32_t age;                    // whole years; 0 when absent
    char sex;                       // 'M', 'm', 'F', 'f'; 'U' when absent
    double annualSalary;
    double serviceWithGuarantee;    // weeks
    double serviceWithoutGuarantee; // weeks
    double currentPension;
    char maritalStatus;             // 'M', 'm', 'U', 'u', 'S', 's'; '?' when absent
    int32_t spouseAge;              // 0 in the file means not given
    int32_t yearsRetired;           // 0..50
    double bridgePension;
    double guaranteedFraction;      // 0..1, percentages already divided
    double averageSalary;

    // Derived once the line parsed without a field error.
    int32_t youngerAge;              // min(age, spouseAge)
    int32_t projectionYears;         // min(121 - youngerAge, 111): years U < this are projected
    int32_t yearsToLastRetirementAge;
    double serviceYears;             // weeks of service / (365.25 / 7)
    int32_t cappedServiceYears;      // min(averagingYears, trunc(serviceYears + 0.999))
    int32_t wholeServiceYears;       // trunc(serviceYears)
};
