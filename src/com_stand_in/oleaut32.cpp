// oleaut32's string and Variant services for non-Windows hosts, limited to the kinds the stand-in
// VARIANT carries (no records; arrays only of Variants, one dimension).
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "com_stand_in/live_strings.h"
#include "quilmar/com_types.h"

namespace {

constexpr std::size_t kPrefix = sizeof(std::uint32_t);

std::atomic<long> live_bstrs{0};

bool is_valid_base(VARTYPE base) {
  switch (base) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT: return true;
    default: return false;
  }
}

// Copies the value a by-reference Variant points at into dst (dst already empty).
HRESULT copy_referenced(VARIANT* dst, const VARIANT* src) {
  const VARTYPE base = src->vt & VT_TYPEMASK;
  if (src->byref == nullptr) return E_INVALIDARG;
  switch (base) {
    case VT_VARIANT: {
      const VARIANT* inner = src->pvarVal;
      if (inner->vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;
      return VariantCopyInd(dst, const_cast<VARIANT*>(inner));
    }
    case VT_BSTR: {
      BSTR s = *src->pbstrVal;
      dst->bstrVal = s ? SysAllocStringLen(s, SysStringLen(s)) : nullptr;
      if (s && !dst->bstrVal) return E_OUTOFMEMORY;
      break;
    }
    case VT_UNKNOWN:
    case VT_DISPATCH:
      dst->punkVal = *src->ppunkVal;
      if (dst->punkVal) dst->punkVal->AddRef();
      break;
    case VT_DECIMAL: dst->decVal = *src->pdecVal; break;
    case VT_I1:
    case VT_UI1: dst->bVal = *src->pbVal; break;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL: dst->iVal = *src->piVal; break;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR: dst->lVal = *src->plVal; break;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE: dst->llVal = *src->pllVal; break;
    default: return DISP_E_BADVARTYPE;
  }
  dst->vt = base;
  return S_OK;
}

constexpr VARTYPE kVariantArray = VT_ARRAY | VT_VARIANT;

VARIANT* elements(SAFEARRAY* psa) {
  return static_cast<VARIANT*>(psa->pvData);
}

}  // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  if (vt != VT_VARIANT) return nullptr;
  auto* psa =
      new (std::nothrow) SAFEARRAY{1, 0, sizeof(VARIANT), 0, nullptr, {{cElements, lLbound}}};
  if (!psa) return nullptr;
  psa->pvData = new (std::nothrow) VARIANT[cElements ? cElements : 1];
  if (!psa->pvData) {
    delete psa;
    return nullptr;
  }
  for (ULONG i = 0; i < cElements; ++i) VariantInit(&elements(psa)[i]);
  return psa;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) VariantClear(&elements(psa)[i]);
  delete[] elements(psa);
  delete psa;
  return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  SAFEARRAY* copy =
      SafeArrayCreateVector(VT_VARIANT, psa->rgsabound[0].lLbound, psa->rgsabound[0].cElements);
  if (!copy) return E_OUTOFMEMORY;
  for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
    if (const HRESULT hr = VariantCopy(&elements(copy)[i], &elements(psa)[i]); FAILED(hr)) {
      SafeArrayDestroy(copy);
      return hr;
    }
  }
  *ppsaOut = copy;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  ++psa->cLocks;
  *ppvData = psa->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (!psa->cLocks) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim != 1) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim != 1) return DISP_E_BADINDEX;
  *plUbound = psa->rgsabound[0].lLbound + static_cast<LONG>(psa->rgsabound[0].cElements) - 1;
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) {
  return psa ? psa->cDims : 0;
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  auto* block = static_cast<unsigned char*>(
      std::malloc(kPrefix + (static_cast<std::size_t>(length) + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  ++live_bstrs;
  const std::uint32_t bytes = length * sizeof(OLECHAR);
  std::memcpy(block, &bytes, kPrefix);
  auto* chars = reinterpret_cast<OLECHAR*>(block + kPrefix);
  if (text)
    std::memcpy(chars, text, length * sizeof(OLECHAR));
  else
    std::memset(chars, 0, length * sizeof(OLECHAR));
  chars[length] = 0;
  return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  UINT n = 0;
  while (text[n]) ++n;
  return SysAllocStringLen(text, n);
}

void SysFreeString(BSTR text) {
  if (!text) return;
  --live_bstrs;
  std::free(reinterpret_cast<unsigned char*>(text) - kPrefix);
}

long live_bstr_count() noexcept {
  return live_bstrs.load();
}

UINT SysStringLen(BSTR text) {
  if (!text) return 0;
  std::uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<unsigned char*>(text) - kPrefix, kPrefix);
  return bytes / sizeof(OLECHAR);
}

void VariantInit(VARIANT* v) {
  v->vt = VT_EMPTY;
  v->wReserved1 = v->wReserved2 = v->wReserved3 = 0;
  v->llVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
  if (v->vt == kVariantArray) {
    if (const HRESULT hr = SafeArrayDestroy(v->parray); FAILED(hr)) return hr;
  } else if (!(v->vt & VT_BYREF)) {
    if (v->vt & VT_ARRAY || !is_valid_base(v->vt)) return DISP_E_BADVARTYPE;
    if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
    if ((v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) && v->punkVal) v->punkVal->Release();
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dst, const VARIANT* src) {
  if (dst == src) return S_OK;
  if (!(src->vt & VT_BYREF) && src->vt != kVariantArray &&
      (src->vt & VT_ARRAY || !is_valid_base(src->vt)))
    return DISP_E_BADVARTYPE;
  if (const HRESULT hr = VariantClear(dst); FAILED(hr)) return hr;
  *dst = *src;
  if (src->vt == kVariantArray) {
    if (const HRESULT hr = SafeArrayCopy(src->parray, &dst->parray); FAILED(hr)) {
      VariantInit(dst);
      return hr;
    }
  } else if (src->vt == VT_BSTR && src->bstrVal) {
    dst->bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
    if (!dst->bstrVal) {
      VariantInit(dst);
      return E_OUTOFMEMORY;
    }
  } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal) {
    src->punkVal->AddRef();
  }
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dst, VARIANTARG* src) {
  if (!(src->vt & VT_BYREF)) return VariantCopy(dst, src);
  if (src->vt & VT_ARRAY) return DISP_E_BADVARTYPE;
  VARIANT tmp;
  VariantInit(&tmp);
  if (const HRESULT hr = copy_referenced(&tmp, src); FAILED(hr)) return hr;
  if (const HRESULT hr = VariantClear(dst); FAILED(hr)) {
    VariantClear(&tmp);
    return hr;
  }
  *dst = tmp;
  return S_OK;
}
