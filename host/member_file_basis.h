// The basis file's [member_file]: how the member file is written (the
// delimiter, the library's own layout or a spreadsheet's, a header row, the
// decimal separator), where each field stands and the codes of the statuses.
#pragma once

#include <string>

#include <toml++/toml.h>

#include "basis_values.h"
#include "plan_basis.h"

// Reads [member_file] into the basis; every problem becomes one message.
void readMemberFileSection(BasisReader &reader, const toml::table &root, PlanBasis &basis);

// A header text as the columns are matched by it: blanks around it removed,
// letters in lower case.
std::string headerKey(const std::string &text);
