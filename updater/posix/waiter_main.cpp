// brenwick_wait: waits for the updater's notification (see updater/waiter.h).
#include <iostream>
#include <string>
#include <vector>

#include "updater/waiter.h"

int main(int argc, char** argv) {
  return quorin::updater::RunWaiter(std::vector<std::string>(argv, argv + argc), std::cout,
                                    std::cerr);
}
