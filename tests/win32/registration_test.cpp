// regsvr32 /u of Quilmar.dll where other entries of its type library are registered: an entry of
// version 1.0 or 1.1 that an earlier build of the same file left, and entries of other files. Each
// case starts from the file registered (as the registration test leaves it), adds what an earlier
// install would have left, calls DllUnregisterServer of the registered file and reads the registry;
// the file is registered again afterwards, for the clients that run next.
#include <gtest/gtest.h>

#include <cwctype>
#include <functional>
#include <string>

#include "quilmar/quilmar.h"

namespace {

const std::wstring kLibrary = L"TypeLib\\{24CECA7A-C296-403C-8BAE-D3A4E486F939}";
const std::wstring kClass = L"CLSID\\{1B489C75-85E8-4326-B849-E3ECEA4207BB}";
const std::wstring kDictionaryClass = L"CLSID\\{64EF2008-3236-43DC-A850-853D6F82EADB}";
const std::wstring kInterfaces[] = {L"Interface\\{6B639371-3311-4051-9729-7342867E85BE}",
                                    L"Interface\\{2D32EEC9-3BB4-4F84-9D66-28170A901383}",
                                    L"Interface\\{5DCFA88F-649B-479F-A576-C5B2CA6AFF79}",
                                    L"Interface\\{51BC1C64-2477-4D18-9504-E209178783FC}"};
// This build's version, and those earlier builds registered.
const std::wstring kCurrent = L"\\1.2";
const std::wstring kEarlier[] = {L"\\1.0", L"\\1.1"};
#ifdef _WIN64
const std::wstring kOwn = L"\\0\\win64", kOther = L"\\0\\win32";
#else
const std::wstring kOwn = L"\\0\\win32", kOther = L"\\0\\win64";
#endif
const std::wstring kElsewhere = L"C:\\elsewhere\\Quilmar.dll";

bool exists(const std::wstring& key, REGSAM view = 0) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS)
    return false;
  RegCloseKey(handle);
  return true;
}

// A key's default value; "(none)" when there is no such key.
std::wstring value(const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) !=
      ERROR_SUCCESS)
    return L"(none)";
  return data;
}

void set(const std::wstring& key, const std::wstring& data, const wchar_t* name = nullptr) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &handle, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

void remove_tree(const std::wstring& key) {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
}

// The keys of one version of the library as RegisterTypeLib writes them, for a file at `path`.
void add_version(const std::wstring& version, const std::wstring& platform,
                 const std::wstring& path) {
  set(kLibrary + version, L"Quilmar");
  set(kLibrary + version + platform, path);
  set(kLibrary + version + L"\\FLAGS", L"0");
  set(kLibrary + version + L"\\HELPDIR", L"");
}

// What the cases add: the earlier versions' keys and the other bitness's current entry.
void forget_others() {
  for (const std::wstring& earlier : kEarlier) remove_tree(kLibrary + earlier);
  remove_tree(kLibrary + kCurrent + kOther);
}

std::wstring upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

// The interfaces' entries: in this process's view and, on 64-bit Windows, the 32-bit one too.
int interface_keys() {
  int n = 0;
  for (const std::wstring& key : kInterfaces) {
    n += exists(key);
    if (sizeof(void*) == 8) n += exists(key, KEY_WOW64_32KEY);
  }
  return n;
}

using Server = HRESULT(STDAPICALLTYPE*)();

class Unregistration : public testing::Test {
 protected:
  void SetUp() override {
    path_ = value(kClass + L"\\InprocServer32");
    ASSERT_EQ(value(kLibrary + kCurrent + kOwn), path_) << "the file is registered at its version";
    module_ = LoadLibraryW(path_.c_str());
    ASSERT_NE(module_, nullptr) << GetLastError();
    register_ = server("DllRegisterServer");
    unregister_ = server("DllUnregisterServer");
    ASSERT_TRUE(register_ && unregister_);
  }
  void TearDown() override {
    if (!module_) return;
    forget_others();
    EXPECT_EQ(register_(), S_OK);
    EXPECT_EQ(value(kLibrary + kCurrent + kOwn), path_);
    FreeLibrary(module_);
  }

  Server server(const char* name) {
    return reinterpret_cast<Server>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }

  std::wstring path_;
  HMODULE module_ = nullptr;
  Server register_ = nullptr, unregister_ = nullptr;
};

TEST_F(Unregistration, TakesBackTheEarlierBuildsEntryOfThisFile) {
  struct Case {
    const char* what;
    std::function<void(const std::wstring& path)> left;
  };
  const Case cases[] = {
      {"1.0, registered again since",
       [](const std::wstring& path) { add_version(L"\\1.0", kOwn, upper(path)); }},
      {"1.1, registered again since",
       [](const std::wstring& path) { add_version(L"\\1.1", kOwn, upper(path)); }},
      {"1.0 and 1.1, registered again since",
       [](const std::wstring& path) {
         add_version(L"\\1.0", kOwn, path);
         add_version(L"\\1.1", kOwn, upper(path));
       }},
      {"1.0, not registered since: what the earlier build wrote is all there is",
       [](const std::wstring& path) {
         remove_tree(kLibrary + kCurrent);
         for (int i = 1; i < 4; ++i) remove_tree(kInterfaces[i]);
         remove_tree(kDictionaryClass);
         add_version(L"\\1.0", kOwn, path);
         set(kInterfaces[0] + L"\\TypeLib", L"1.0", L"Version");
         set(kClass + L"\\VERSION", L"1.0");
       }},
      {"1.1, not registered since",
       [](const std::wstring& path) {
         remove_tree(kLibrary + kCurrent);
         for (int i = 2; i < 4; ++i) remove_tree(kInterfaces[i]);
         remove_tree(kDictionaryClass);
         add_version(L"\\1.1", kOwn, path);
         for (int i = 0; i < 2; ++i) set(kInterfaces[i] + L"\\TypeLib", L"1.1", L"Version");
         set(kClass + L"\\VERSION", L"1.1");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.left(path_);
    EXPECT_EQ(unregister_(), S_OK);
    EXPECT_FALSE(exists(kLibrary));
    EXPECT_EQ(interface_keys(), 0);
    EXPECT_FALSE(exists(kClass));
    EXPECT_FALSE(exists(kDictionaryClass));
    EXPECT_EQ(register_(), S_OK);
  }
}

// Registering over an earlier build, as an upgrade does, takes over its entry; another file's
// earlier entry stays.
TEST_F(Unregistration, RegisteringAgainTakesOverTheEarlierBuildsEntryOfThisFile) {
  for (const std::wstring& earlier : kEarlier) {
    SCOPED_TRACE(testing::Message()
                 << "version " << std::string(earlier.begin() + 1, earlier.end()));
    add_version(earlier, kOwn, upper(path_));
    EXPECT_EQ(register_(), S_OK);
    EXPECT_FALSE(exists(kLibrary + earlier));
    EXPECT_EQ(value(kLibrary + kCurrent + kOwn), path_);
    add_version(earlier, kOwn, kElsewhere);
    EXPECT_EQ(register_(), S_OK);
    EXPECT_EQ(value(kLibrary + earlier + kOwn), kElsewhere);
    forget_others();
  }
}

TEST_F(Unregistration, LeavesOtherFilesEntriesAndWhatTheyShare) {
  struct Case {
    const char* what;
    std::wstring version, platform;  // the other file's entry
  };
  const Case cases[] = {
      {"1.0 of another file of this bitness", L"\\1.0", kOwn},
      {"1.0 of the other bitness's file", L"\\1.0", kOther},
      {"1.1 of another file of this bitness", L"\\1.1", kOwn},
      {"1.1 of the other bitness's file", L"\\1.1", kOther},
      {"1.2 of the other bitness's file", L"\\1.2", kOther},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    add_version(c.version, c.platform, kElsewhere);
    EXPECT_EQ(unregister_(), S_OK);
    EXPECT_EQ(value(kLibrary + c.version + c.platform), kElsewhere);
    EXPECT_EQ(value(kLibrary + c.version), L"Quilmar");
    EXPECT_EQ(value(kLibrary + c.version + L"\\FLAGS"), L"0");
    EXPECT_EQ(value(kLibrary + c.version + L"\\HELPDIR"), L"");
    // This file's own entry goes, and with it a version key no other file has an entry in.
    EXPECT_FALSE(exists(kLibrary + kCurrent + kOwn));
    EXPECT_EQ(exists(kLibrary + kCurrent), c.version == kCurrent);
    EXPECT_EQ(value(kInterfaces[0] + L"\\ProxyStubClsid32"),
              L"{00020424-0000-0000-C000-000000000046}");
    EXPECT_EQ(value(kInterfaces[3] + L"\\TypeLib"), L"{24CECA7A-C296-403C-8BAE-D3A4E486F939}");
    EXPECT_FALSE(exists(kClass));
    EXPECT_FALSE(exists(kDictionaryClass));
    forget_others();
    EXPECT_EQ(register_(), S_OK);
  }
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
