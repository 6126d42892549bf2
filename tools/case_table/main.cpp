// quilmar_case_table_gen UnicodeData.txt OUT: writes the host's case table to OUT.
#include <exception>
#include <fstream>
#include <iostream>

#include "tools/case_table/case_table.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: quilmar_case_table_gen UnicodeData.txt OUT\n";
    return 2;
  }
  try {
    std::ifstream in(argv[1]);
    if (!in) {
      std::cerr << argv[1] << ": cannot be read\n";
      return 1;
    }
    const std::string table = quilmar::tools::case_table_source(in);
    std::ofstream out(argv[2], std::ios::binary);
    out << table;
    if (!out.flush()) {
      std::cerr << argv[2] << ": cannot be written\n";
      return 1;
    }
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
