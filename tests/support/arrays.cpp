#include "arrays.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "values.h"

namespace quilmar::test {
namespace {

SAFEARRAY* array_of(const VARIANT& v) {
  return v.vt & VT_BYREF ? *v.pparray : v.parray;
}

void* address(const VARIANT& array, std::size_t row, std::size_t column) {
  SAFEARRAY* a = array_of(array);
  LONG low[2] = {0, 0};
  for (UINT d = 1; d <= SafeArrayGetDim(a); ++d) SafeArrayGetLBound(a, d, &low[d - 1]);
  LONG at[2] = {low[0] + static_cast<LONG>(row), low[1] + static_cast<LONG>(column)};
  void* p = nullptr;
  if (FAILED(SafeArrayPtrOfIndex(a, at, &p))) throw std::out_of_range("no such element");
  return p;
}

}  // namespace

Variant make_array(VARTYPE type, LONG row_low, ULONG rows, LONG column_low, ULONG columns) {
  SAFEARRAYBOUND bounds[2] = {{rows, row_low}, {columns, column_low}};
  Variant out;
  out.get()->parray = SafeArrayCreate(type, columns ? 2 : 1, bounds);
  if (!out->parray) throw std::bad_alloc();
  out.get()->vt = static_cast<VARTYPE>(VT_ARRAY | type);
  return out;
}

void set_element(const VARIANT& array, std::size_t row, std::size_t column, const VARIANT& value) {
  void* p = address(array, row, column);
  switch (array.vt & VT_TYPEMASK) {
    case VT_VARIANT: VariantCopy(static_cast<VARIANT*>(p), const_cast<VARIANT*>(&value)); return;
    case VT_BSTR: {
      BSTR old;
      std::memcpy(&old, p, sizeof old);
      SysFreeString(old);
      const BSTR copy = value.bstrVal
                            ? Bstr(TextView(value.bstrVal, SysStringLen(value.bstrVal))).release()
                            : nullptr;
      std::memcpy(p, &copy, sizeof copy);
      return;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH:
      if (value.punkVal) value.punkVal->AddRef();
      std::memcpy(p, &value.punkVal, sizeof value.punkVal);
      return;
    case VT_DECIMAL: {
      DECIMAL d = value.decVal;
      d.wReserved = 0;
      std::memcpy(p, &d, sizeof d);
      return;
    }
    default: std::memcpy(p, &value.llVal, SafeArrayGetElemsize(array_of(array)));
  }
}

Variant element(const VARIANT& array, std::size_t row, std::size_t column) {
  const void* p = address(array, row, column);
  const auto type = static_cast<VARTYPE>(array.vt & VT_TYPEMASK);
  if (type == VT_VARIANT) return Variant(*static_cast<const VARIANT*>(p));
  VARIANT view = blank();
  if (type == VT_DECIMAL)
    std::memcpy(&view.decVal, p, sizeof(DECIMAL));
  else
    std::memcpy(&view.llVal, p, SafeArrayGetElemsize(array_of(array)));
  view.vt = type;
  return Variant(view);
}

Variant list(LONG low, const std::vector<Variant>& values) {
  Variant out = make_array(VT_VARIANT, low, static_cast<ULONG>(values.size()));
  for (std::size_t i = 0; i < values.size(); ++i) set_element(*out, i, 0, *values[i]);
  return out;
}

HRESULT ScriptArray::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) return E_NOINTERFACE;
  *object = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

HRESULT ScriptArray::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

HRESULT ScriptArray::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

constexpr DISPID kLength = 0x10000;

HRESULT ScriptArray::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (count != 1) return E_INVALIDARG;
  const Text name = names[0];
  *ids = DISPID_UNKNOWN;
  if (name == T("length")) {
    *ids = kLength;
    return S_OK;
  }
  std::size_t index = 0;
  for (OLECHAR c : name) {
    if (c < '0' || c > '9') return DISP_E_UNKNOWNNAME;
    index = index * 10 + (c - '0');
  }
  if (name.empty() || index >= elements_.size()) return DISP_E_UNKNOWNNAME;
  for (std::size_t m : missing_)
    if (m == index) return DISP_E_UNKNOWNNAME;
  *ids = static_cast<DISPID>(index);
  return S_OK;
}

HRESULT ScriptArray::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                            EXCEPINFO*, UINT*) {
  if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
  VariantInit(result);
  if (id == kLength) {  // JScript keeps numbers as doubles
    result->vt = VT_R8;
    result->dblVal = static_cast<double>(elements_.size());
    return S_OK;
  }
  if (id < 0 || static_cast<std::size_t>(id) >= elements_.size()) return DISP_E_MEMBERNOTFOUND;
  return VariantCopy(result, elements_[static_cast<std::size_t>(id)].get());
}

VARIANT ScriptArray::as_argument() {
  VARIANT v = blank();
  v.vt = VT_DISPATCH;
  v.pdispVal = this;
  return v;
}

std::vector<std::string> described(const VARIANT& array) {
  SAFEARRAY* a = array_of(array);
  LONG low = 0, high = -1;
  SafeArrayGetLBound(a, 1, &low);
  SafeArrayGetUBound(a, 1, &high);
  LONG columns = 1;
  if (SafeArrayGetDim(a) == 2) {
    LONG column_low = 0, column_high = -1;
    SafeArrayGetLBound(a, 2, &column_low);
    SafeArrayGetUBound(a, 2, &column_high);
    columns = column_high - column_low + 1;
  }
  std::vector<std::string> out;
  for (LONG r = 0; r <= high - low; ++r) {
    std::string row;
    for (LONG c = 0; c < columns; ++c)
      row += (c ? " | " : "") +
             describe(*element(array, static_cast<std::size_t>(r), static_cast<std::size_t>(c)));
    out.push_back(row);
  }
  return out;
}

}  // namespace quilmar::test
