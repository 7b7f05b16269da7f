// The member listing: two header lines, then one line per line read.
#pragma once

#include <cstdio>

#include "input/member_record.h"

void writeListingHeaders(std::FILE *file);
void writeListingLine(std::FILE *file, const MemberRecord &member);
