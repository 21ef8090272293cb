// The benchmark program: each benchmark is one function, run here in turn, that prints its
// own figures. Image files go to a scratch folder that is removed at the end.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "tests/bench/inventory_bench.h"

int main() {
  const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "dunmere-bench";
  std::error_code error;
  std::filesystem::create_directories(scratch, error);
  if (error) {
    std::printf("bench: cannot create %s: %s\n", scratch.string().c_str(), error.message().c_str());
    return 1;
  }
  bool ok = InventoryBench((scratch / "inventory").string());
  std::filesystem::remove_all(scratch, error);
  return ok ? 0 : 1;
}
