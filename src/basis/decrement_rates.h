// Rates read from the host's by-age tables: a column of ages (first age at
// element 1, last age further on) followed by a column of values.
#pragma once

#include <cstdint>

#include "core/host_arrays.h"

// Retirement rate at age x: 0 below the first age, 1 from the last age on.
double retirementRate(const HostArrays &host, int32_t x);
// Withdrawal and disablement rates: 0 outside first age .. last age - 1.
double withdrawalRate(const HostArrays &host, int32_t x);
double disablementRate(const HostArrays &host, int32_t x);
// Salary scale at age z: the first value below the first age, the last value
// (element 93) above the last age.
double salaryScaleAt(const HostArrays &host, int32_t z);
