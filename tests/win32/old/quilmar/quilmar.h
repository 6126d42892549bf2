// Frozen copy of include/quilmar/quilmar.h at type library 1.0: edit a line here as it is there.
// Quilmar: the sorted store clsAVLt as a C++ client of the component sees it.
#pragma once

#include <cstddef>

#include "quilmar/com_types.h"

// Fixed identifiers; they never change between builds.
inline constexpr GUID LIBID_Quilmar = {
    0x24CECA7A, 0xC296, 0x403C, {0x8B, 0xAE, 0xD3, 0xA4, 0xE4, 0x86, 0xF9, 0x39}};
inline constexpr IID IID__clsAVLt = {
    0x6B639371, 0x3311, 0x4051, {0x97, 0x29, 0x73, 0x42, 0x86, 0x7E, 0x85, 0xBE}};
inline constexpr CLSID CLSID_clsAVLt = {
    0x1B489C75, 0x85E8, 0x4326, {0xB8, 0x49, 0xE3, 0xEC, 0xEA, 0x42, 0x07, 0xBB}};
inline constexpr GUID GUID_MODEVAL = {
    0x6228F2F2, 0x63FA, 0x4EAA, {0x9F, 0x37, 0x88, 0xA8, 0x77, 0xAF, 0x6B, 0xC6}};
inline constexpr GUID GUID_EGN_MOD = {
    0xB388A477, 0x47CC, 0x4067, {0xBB, 0x8C, 0x34, 0xFD, 0x88, 0xB5, 0x3E, 0xA5}};
inline constexpr GUID GUID_BALANCESTS = {
    0xFF7EE61C, 0x0015, 0x4B33, {0x9D, 0x76, 0x32, 0x79, 0x26, 0x18, 0xAA, 0x3A}};
inline constexpr GUID GUID_AVLtree = {
    0x74A46182, 0xE7B4, 0x4438, {0x9A, 0x82, 0xF8, 0x9D, 0x65, 0x90, 0xE6, 0xBF}};

// Enumerations travel as 32-bit integers; every 32-bit value passes.
enum MODEVAL : LONG {
  WRITE_DATA = 0,
  START_READ = 1,
  READ_NEXT = 2,
  READ_BACK = 3,
  READ_MID = 4,
  END_READ = 5,
  FAULT = 6,
};

enum EGN_MOD : LONG {
  NOT_EGNORE = 0,
  USE_FIRST_DATA = 1,
  USE_LAST_DATA = 2,
};

enum BALANCESTS : LONG {
  BALANCED = 0,
  SMALLV = 1,  // the Small side is higher
  BIGV = 2,    // the Big side is higher
};

// One tree node. Slot numbers are 32-bit floats, -1 meaning no node. Packed to 4 bytes so the
// Variants sit at offsets 12 and 32 whatever the compiler's own alignment of VARIANT is.
// On 64-bit Windows a VARIANT is 24 bytes and the record keeps the same packing, as the 64-bit
// type library states it: Parent 0, Small 4, Big 8, Data 12, Balance 36, SubData 40; 64 bytes.
// (x64 reads the 8-byte members of a Variant at a multiple of 4 without fault.)
#pragma pack(push, 4)
struct AVLtree {
  FLOAT Parent;
  FLOAT Small;
  FLOAT Big;
  VARIANT Data;
  BALANCESTS Balance;
  VARIANT SubData;
};
#pragma pack(pop)

#ifndef _WIN64
static_assert(sizeof(AVLtree) == 48, "AVLtree is 48 bytes");
static_assert(offsetof(AVLtree, Parent) == 0);
static_assert(offsetof(AVLtree, Small) == 4);
static_assert(offsetof(AVLtree, Big) == 8);
static_assert(offsetof(AVLtree, Data) == 12);
static_assert(offsetof(AVLtree, Balance) == 28);
static_assert(offsetof(AVLtree, SubData) == 32);
#else
static_assert(sizeof(VARIANT) == 24);
static_assert(sizeof(AVLtree) == 64, "AVLtree is 64 bytes on 64-bit Windows");
static_assert(offsetof(AVLtree, Parent) == 0);
static_assert(offsetof(AVLtree, Small) == 4);
static_assert(offsetof(AVLtree, Big) == 8);
static_assert(offsetof(AVLtree, Data) == 12);
static_assert(offsetof(AVLtree, Balance) == 36);
static_assert(offsetof(AVLtree, SubData) == 40);
#endif

// The class's default interface: dual, so every member is also reachable through IDispatch.
struct _clsAVLt : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Read(MODEVAL* Spec, VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Alloc(FLOAT* Siz, VARIANT_BOOL* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE Indata(VARIANT* Getdata, VARIANT* AddData, VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE ReadSub(VARIANT* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Egnore(EGN_MOD* Val) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Egnore(EGN_MOD* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MemorySize(LONG* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DataNumber(LONG* result) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_GetVersion(BSTR* result) = 0;
};

// Exported by Quilmar.dll, and by the native library for clients on other hosts.
STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object);
STDAPI DllCanUnloadNow();
