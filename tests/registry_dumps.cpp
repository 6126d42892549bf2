// The expected registry states of tests/win32/registry (harness.sh compares the registry with them
// under Wine), made from the server's registry table: what harness.sh's `reg query /s` of the
// table's keys shows when the 32-bit file, the 64-bit file or both are registered, as a process of
// each bitness sees it. Each file's first line says how it is made.
//
// Usage: quilmar_registry_dumps FOLDER [--write]  (fails when a file differs; --write writes them)
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "server/registry_table.h"

namespace {

using quilmar::registry::kRows;
using quilmar::registry::Part;

constexpr char kHeader[] =
    "# Made by quilmar_registry_dumps from src/server/registry_table.h, and checked by it: "
    "build/native/tests/quilmar_registry_dumps tests/win32/registry --write";

std::string narrow(const wchar_t* text) {
  std::string out;
  for (; *text; ++text) out += static_cast<char>(*text);
  return out;
}

void replace_all(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
}

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// reg lists keys and values in name order, without case.
struct NoCase {
  bool operator()(const std::string& a, const std::string& b) const { return lower(a) < lower(b); }
};

struct Key {
  std::map<std::string, std::string, NoCase> values;  // "(Default)" sorts first
  std::map<std::string, Key, NoCase> children;
};

// A class, library or interface key sits in a folder of such keys; a dump starts at its own key.
std::string root_of(const std::string& key) {
  const size_t first = key.find('\\');
  const std::string folder = key.substr(0, first);
  if (first != std::string::npos &&
      (folder == "CLSID" || folder == "TypeLib" || folder == "Interface"))
    return key.substr(0, key.find('\\', first + 1));
  return folder;
}

void print(std::ostringstream& out, const std::string& path, const Key& key, bool root) {
  // reg shows a key of its own only when it holds a value or lies below the key asked for.
  if (!root || !key.values.empty()) out << path << "\n";
  for (const auto& [name, data] : key.values)
    out << path << "|" << name << "|REG_SZ|" << data << "\n";
  for (const auto& [name, child] : key.children) print(out, path + "\\" + name, child, false);
}

// REGISTERED: "32", "64" or "3264"; the dump as a process of BITS sees it.
std::string dump(const std::string& registered, const std::string& bits) {
  std::vector<std::string> roots;
  std::map<std::string, Key> trees;
  const auto add = [&](const std::string& key, const std::string& name, const std::string& data) {
    const std::string root = root_of(key);
    if (std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
    Key* at = &trees[root];
    std::istringstream rest(key.substr(root.size()));
    for (std::string part; std::getline(rest, part, '\\');)
      if (!part.empty()) at = &at->children[part];
    at->values[name] = data;
  };
  for (const auto& row : kRows) {
    const std::string key = narrow(row.key), data = narrow(row.data);
    const std::string name = row.name ? narrow(row.name) : "(Default)";
    // Each file writes its class in its own view, and its own entry of the library; the rest is
    // shared.
    std::vector<std::string> files{""};
    if (row.part == Part::class_view) files = {bits};
    if (key.find(narrow(quilmar::registry::kPlatform)) != std::string::npos) files = {"32", "64"};
    for (const std::string& file : files) {
      if (!file.empty() && registered.find(file) == std::string::npos) continue;
      std::string k = key, d = data;
      replace_all(k, narrow(quilmar::registry::kPlatform), "win" + file);
      replace_all(d, narrow(quilmar::registry::kFile), "@DLL" + file + "@");
      add(k, name, d);
    }
  }
  std::ostringstream out;
  out << kHeader << "\n";
  for (const std::string& root : roots) print(out, "HKEY_CLASSES_ROOT\\" + root, trees[root], true);
  return out.str();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || (argc == 3 && std::strcmp(argv[2], "--write") != 0) || argc > 3) {
    std::fprintf(stderr, "usage: %s FOLDER [--write]\n", argv[0]);
    return 2;
  }
  const bool write = argc == 3;
  const std::pair<const char*, const char*> states[] = {
      {"win32", "32"}, {"win64", "64"}, {"both", "3264"}};
  int failed = 0;
  for (const auto& [state, registered] : states) {
    for (const char* bits : {"32", "64"}) {
      const std::string path = std::string(argv[1]) + "/" + state + "." + bits + "-bit-view.txt";
      const std::string want = dump(registered, bits);
      if (write) {
        std::ofstream(path, std::ios::binary) << want;
        continue;
      }
      std::ifstream in(path, std::ios::binary);
      const std::string have{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      if (have != want) {
        std::istringstream a(have), b(want);
        std::string line_a, line_b;
        int line = 1;
        while (std::getline(a, line_a) && std::getline(b, line_b) && line_a == line_b) ++line;
        std::fprintf(stderr, "%s, line %d, differs from the registry table's\n  %s\n  %s\n",
                     path.c_str(), line, line_a.c_str(), line_b.c_str());
        failed = 1;
      }
    }
  }
  return failed;
}
