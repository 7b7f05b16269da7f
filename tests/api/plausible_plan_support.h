// A plausible plan for whole runs: smooth mortality with improvement, rates
// and scales over working ages, a guarantee period, bridge and spouse
// pensions, discount and inflation; and member files of all five statuses in
// the layout of ExportedRun (fields 1..14 in columns 1..14, tab after each,
// status codes A..E).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_support.h"

// Fills every assumption array of the host; the result arrays stay as they are.
void fillPlausiblePlan(TestHost &host);

// The 14 fields of one member line, in code order.
struct MemberFields {
    std::string number, status;
    int age;
    char sex;
    double salary, serviceWithGuarantee, serviceWithoutGuarantee, pension;
    char marital;
    int spouseAge, yearsRetired;
    double bridge, guaranteedFraction, averageSalary;
};

// The fields each followed by a tab, then the line feed.
std::string memberLine(const MemberFields &fields);

// Members of every status, both sexes, young and old, with and without a
// spouse age, with service, pensions and bridge pensions.
std::vector<MemberFields> membersOfEveryStatus();
std::string memberFileOf(const std::vector<MemberFields> &members);

// True when every element of the three result arrays is finite.
bool allResultsFinite(const TestHost &host);
