#include "store_view.h"

namespace quilmar::test {

bool is_free(const AVLtree& r) {
  return r.Parent == -1 && r.Small == -1 && r.Big == -1 && r.Balance == BALANCED &&
         r.Data.vt == VT_BSTR && SysStringLen(r.Data.bstrVal) == 0 && r.SubData.vt == VT_BSTR &&
         SysStringLen(r.SubData.bstrVal) == 0;
}

std::size_t first_used_slot(const NodeTable& t, std::size_t from) {
  for (std::size_t i = from; i < t.size(); ++i)
    if (!is_free(t[i])) return i;
  return t.size();
}

}  // namespace quilmar::test
