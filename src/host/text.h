// The component's own string types: UTF-16 code units, as BSTRs hold them.
#pragma once

#include <string>
#include <string_view>

#include "quilmar/com_types.h"

namespace quilmar {

using Text = std::basic_string<OLECHAR>;
using TextView = std::basic_string_view<OLECHAR>;

// UTF-16 to UTF-8, for messages on hosts without a message box and for test output.
std::string to_utf8(TextView text);

}  // namespace quilmar
