// Runs one of the reader's programs as a user would, capturing what it prints.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "byte_helpers.h"

namespace reader::testing {

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string shellQuoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += (c == '\'') ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Runs program with args; stdinBytes go to its standard input.
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& stdinBytes = "") {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("reader-run-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const fs::path in = dir / "in", out = dir / "out", err = dir / "err";
  {
    std::FILE* file = std::fopen(in.c_str(), "wb");
    std::fwrite(stdinBytes.data(), 1, stdinBytes.size(), file);
    std::fclose(file);
  }
  std::string command = shellQuoted(program);
  for (const std::string& arg : args) command += " " + shellQuoted(arg);
  command += " <" + shellQuoted(in) + " >" + shellQuoted(out) + " 2>" + shellQuoted(err);
  const int raw = std::system(command.c_str());
  ProgramRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = readFile(out);
  run.err = readFile(err);
  fs::remove_all(dir);
  return run;
}

}  // namespace reader::testing
