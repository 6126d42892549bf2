// Writes the host's case table (src/host/text_case_table.inc) from the Unicode character
// database's UnicodeData.txt. The generator and the test that holds the committed file to the
// data share it.
#pragma once

#include <istream>
#include <string>

namespace quilmar::tools {

// The whole generated file. Throws std::runtime_error on a line that is not UnicodeData.txt's.
std::string case_table_source(std::istream& unicode_data);

}  // namespace quilmar::tools
