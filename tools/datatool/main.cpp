// crvn-datatool: makes the program's encrypted data files.
//
//   crvn-datatool encrypt <plain file> <encrypted file>
//   crvn-datatool decrypt <encrypted file> <plain file>

#include <exception>
#include <filesystem>
#include <iostream>
#include <string_view>

#include "aircraftdata/data_file_key.h"
#include "tools/datatool/stream_encrypt.h"

namespace {

int usage() {
  std::cerr << "usage: crvn-datatool encrypt <plain file> <encrypted file>\n"
               "       crvn-datatool decrypt <encrypted file> <plain file>\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    return usage();
  }
  const std::string_view command = argv[1];
  const std::filesystem::path from = argv[2];
  const std::filesystem::path to = argv[3];
  try {
    if (command == "encrypt") {
      crv::datatool::encryptFile(crv::kDataFileKey, from, to);
    } else if (command == "decrypt") {
      crv::datatool::decryptFile(crv::kDataFileKey, from, to);
    } else {
      return usage();
    }
  } catch (const std::exception& e) {
    std::cerr << "crvn-datatool: " << e.what() << '\n';
    return 1;
  }
  return 0;
}
