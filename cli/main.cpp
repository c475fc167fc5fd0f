#include <iostream>

#include "cli/reader_cli.h"

int main(int argc, char** argv) {
  return reader::runCommandLineReader(argc, argv, std::cin, std::cout, std::cerr);
}
