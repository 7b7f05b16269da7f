// The member listing: two header lines, then one line per line read.
#pragma once

#include "core/member_record.h"
#include "core/report_sink.h"

void writeListingHeaders(ReportSink &sink);
void writeListingLine(ReportSink &sink, const MemberRecord &member);
