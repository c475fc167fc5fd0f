#include <iostream>

#include "cli/reader_cli.h"
#include "text/page_memory.h"

int main(int argc, char** argv) {
  reader::keepPageSizedBuffers();
  return reader::runCommandLineReader(argc, argv, std::cin, std::cout, std::cerr);
}
