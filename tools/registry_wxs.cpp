// Writes the installer package's registry rows from the server's registry table, one WiX include
// file per bitness: registry_wxs X64.wxi X86.wxi. The package defines ROOT (HKCU per user, HKLM
// per machine) and the file identifiers Quilmar64 and Quilmar32.
//
// Both files register side by side as regsvr32 would, with one difference: where Windows keeps a
// separate 32-bit view of a key (CLSID, Interface), the 32-bit rows name Wow6432Node explicitly.
// A 32-bit component's rows would reach it only by the system's redirection, which Wine does not
// do under HKEY_CURRENT_USER; named explicitly, they land where 32-bit processes look on Windows
// under both hives.
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "server/registry_table.h"

namespace {

using quilmar::registry::kRows;
using quilmar::registry::Part;
using quilmar::registry::Row;

struct Bitness {
  const char* platform;  // the type library's entry
  const char* file;      // the file's identifier in the package
  bool wow64_view;       // its class and interface keys live in the 32-bit view
};

constexpr Bitness kX64 = {"win64", "Quilmar64", false};
constexpr Bitness kX86 = {"win32", "Quilmar32", true};

// The table is ASCII; anything else would be a mistake in it.
std::string narrow(std::wstring_view text) {
  std::string out;
  for (const wchar_t c : text) {
    if (c > 0x7E || c < 0x20) throw std::runtime_error("registry table: a character not ASCII");
    out += static_cast<char>(c);
  }
  return out;
}

void replace_all(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
}

// Registry keys and values of a package are formatted text: brackets are escaped, and the text
// goes into an XML attribute.
std::string package_text(std::string text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '[': out += "[\\[]"; break;
      case ']': out += "[\\]]"; break;
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

bool names_file_or_platform(const Row& row) {
  return std::wstring_view(row.data) == quilmar::registry::kFile ||
         std::wstring_view(row.key).find(quilmar::registry::kPlatform) != std::wstring_view::npos;
}

// The keys that Windows keeps apart for 32-bit processes, in both hives.
bool has_wow64_view(std::string_view key) {
  return key.starts_with("CLSID\\") || key.starts_with("Interface\\");
}

// A bitness writes its own class and type-library entry; the shared rows come from the 64-bit
// file's component, and again from the 32-bit one's where the 32-bit view is a separate key.
bool writes(const Bitness& bits, const Row& row) {
  if (row.part == Part::class_view || names_file_or_platform(row)) return true;
  return !bits.wow64_view || has_wow64_view(narrow(row.key));
}

void write_rows(const Bitness& bits, const char* out_path) {
  std::ofstream out(out_path, std::ios::binary);
  out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
         "<!-- Written by registry_wxs from the server's registry table; do not edit. -->\n"
         "<Include>\n";
  for (const Row& row : kRows) {
    if (!writes(bits, row)) continue;
    std::string key = narrow(row.key);
    replace_all(key, narrow(quilmar::registry::kPlatform), bits.platform);
    if (bits.wow64_view && has_wow64_view(key)) key = "Wow6432Node\\" + key;
    std::string value = package_text(narrow(row.data));
    replace_all(value, package_text(narrow(quilmar::registry::kFile)),
                std::string("[#") + bits.file + "]");
    out << "  <RegistryValue Root=\"$(var.ROOT)\" Key=\"Software\\Classes\\" << package_text(key)
        << "\"";
    if (row.name) out << " Name=\"" << package_text(narrow(row.name)) << "\"";
    out << " Type=\"string\" Value=\"" << value << "\"/>\n";
  }
  out << "</Include>\n";
  out.close();
  if (!out) throw std::runtime_error(std::string("cannot write ") + out_path);
}

}  // namespace

int main(int argc, char** argv) try {
  if (argc != 3) {
    std::fprintf(stderr, "usage: registry_wxs X64.wxi X86.wxi\n");
    return 2;
  }
  write_rows(kX64, argv[1]);
  write_rows(kX86, argv[2]);
  return 0;
} catch (const std::exception& e) {
  std::fprintf(stderr, "registry_wxs: %s\n", e.what());
  return 1;
}
