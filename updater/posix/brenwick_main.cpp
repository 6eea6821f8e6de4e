// brenwick: the updater on POSIX systems. The usage text goes to standard error; the exit
// status is 0 on every path, as on Windows.
#include <iostream>
#include <string>
#include <vector>

#include "updater/updater_program.h"

int main(int argc, char** argv) {
  const std::vector<std::string> words(argv, argv + argc);
  quorin::updater::RunUpdaterProgram(words,
                                     [](const std::string& text) { std::cerr << text << '\n'; });
  return 0;
}
