#include "server/grid.h"

#include <string>

#include "host/failure.h"
#include "server/coerce.h"

namespace quilmar {
namespace {

static_assert(sizeof(Variant) == sizeof(VARIANT),
              "a JScript array's Variants are read as VARIANTs");

// The bytes an element of type vt takes in an array; 0 for a type read here as no array.
std::size_t size_of(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1: return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH: return sizeof(void*);
    case VT_DECIMAL: return sizeof(DECIMAL);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
  }
}

// A property of `object` read by name; false when the object has no such member.
bool read_property(IDispatch* object, const OLECHAR* name, Variant& out) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (hr == DISP_E_UNKNOWNNAME) return false;
  if (FAILED(hr)) fail(DISP_E_TYPEMISMATCH);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  Variant got;
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, got.get(),
                      nullptr, nullptr);
  if (hr == DISP_E_MEMBERNOTFOUND) return false;
  if (hr == E_OUTOFMEMORY) throw std::bad_alloc();
  if (FAILED(hr)) fail(DISP_E_TYPEMISMATCH);
  // A reference would point into the script engine: keep what it names.
  out = got->vt & VT_BYREF ? Variant(*got) : std::move(got);
  return true;
}

std::basic_string<OLECHAR> index_name(std::size_t i) {
  std::basic_string<OLECHAR> name;
  do {
    name.insert(name.begin(), static_cast<OLECHAR>('0' + i % 10));
    i /= 10;
  } while (i);
  return name;
}

}  // namespace

Grid::Grid(const VARIANT& source) {
  const VARIANT& v = read_through(source);
  const bool by_ref = (v.vt & VT_BYREF) != 0;
  const auto base = static_cast<VARTYPE>(v.vt & VT_TYPEMASK);
  if (v.vt & VT_ARRAY) {
    view_array(by_ref ? (v.pparray ? *v.pparray : nullptr) : v.parray, base);
  } else if (base == VT_DISPATCH) {
    IDispatch* object = by_ref ? (v.ppdispVal ? *v.ppdispVal : nullptr) : v.pdispVal;
    if (!object) fail(DISP_E_TYPEMISMATCH);
    read_script_array(object);
  } else {
    fail(DISP_E_TYPEMISMATCH);
  }
}

Grid::~Grid() {
  if (array_) SafeArrayUnaccessData(array_);
}

void Grid::view_array(SAFEARRAY* array, VARTYPE declared) {
  // An array never dimensioned (VBA's `Dim a()`) arrives as no descriptor: no dimensions.
  const UINT dims = array ? SafeArrayGetDim(array) : 0;
  if (dims < 1 || dims > 2) fail(kInvalidArgument);
  // The Variant's tag names the type; the descriptor must agree, or reading would overrun.
  element_size_ = size_of(declared);
  if (!element_size_ || SafeArrayGetElemsize(array) != element_size_) fail(DISP_E_TYPEMISMATCH);
  type_ = declared;
  dimensions_ = static_cast<int>(dims);
  // The bounds are stored last dimension first.
  const SAFEARRAYBOUND& rows = array->rgsabound[dims - 1];
  row_low_ = rows.lLbound;
  rows_ = rows.cElements;
  if (dims == 2) {
    column_low_ = array->rgsabound[0].lLbound;
    columns_ = array->rgsabound[0].cElements;
  }
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(array, &data))) fail(DISP_E_TYPEMISMATCH);
  array_ = array;
  data_ = static_cast<const unsigned char*>(data);
}

void Grid::read_script_array(IDispatch* object) {
  Variant length;
  LONG n = 0;
  if (!read_property(object, OLESTR("length"), length) || FAILED(to_long(*length, n)) || n < 0)
    fail(DISP_E_TYPEMISMATCH);
  script_.resize(static_cast<std::size_t>(n));
  // A missing element ([1,,2]) has no name, or no value: it stays Empty, a blank.
  for (std::size_t i = 0; i < script_.size(); ++i)
    read_property(object, index_name(i).c_str(), script_[i]);
  rows_ = script_.size();
  data_ = reinterpret_cast<const unsigned char*>(script_.data());
}

VARIANT Grid::typed(const unsigned char* p) const noexcept {
  VARIANT v;
  std::memset(&v, 0, sizeof v);
  if (type_ == VT_DECIMAL)
    std::memcpy(&v, p, sizeof(DECIMAL));  // the decimal fills the whole Variant but its tag
  else
    std::memcpy(&v.llVal, p, element_size_);
  v.vt = type_;
  return v;
}

}  // namespace quilmar
