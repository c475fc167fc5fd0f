// The command-line reader: the extraction over files, standard input and web addresses.
#pragma once

#include <iosfwd>

namespace reader {

// Runs `article-extract` with its arguments. Returns the exit status: 0 when every input was read, 1
// when any could not be (each such input gets one line on err; the others still run), 2 for a usage
// error.
int runCommandLineReader(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace reader
