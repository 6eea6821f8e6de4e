// BrenwickWait.exe: waits for the updater's notification (see updater/waiter.h). A console
// program, so that scripts read what it prints.
#include <iostream>

#include "updater/waiter.h"
#include "updater/win32/command_words.h"

int main() {
  return quorin::updater::RunWaiter(quorin::updater::CommandLineWords(), std::cout, std::cerr);
}
