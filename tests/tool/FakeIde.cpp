// Stands in for a running IDE in the tests of Install and Uninstall: built as bds.exe, it
// only waits (two minutes at most, so that it never outlives a test run for long).
#include <chrono>
#include <thread>

int main() {
  std::this_thread::sleep_for(std::chrono::minutes(2));
  return 0;
}
