// The benchmark program: each benchmark is one function, run here in turn, that prints its
// own figures. Image files go to a scratch folder that is removed at the end.
//   dunmere_bench [wipe size in MiB, 1024 when left out]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "tests/bench/inventory_bench.h"
#include "tests/bench/wipe_bench.h"

int main(int argc, char** argv) {
  const unsigned long long wipeMiB = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1024;
  if (wipeMiB == 0) {
    std::printf("usage: dunmere_bench [wipe size in MiB]\n");
    return 2;
  }
  const std::filesystem::path scratch = std::filesystem::temp_directory_path() / "dunmere-bench";
  std::error_code error;
  std::filesystem::create_directories(scratch, error);
  if (error) {
    std::printf("bench: cannot create %s: %s\n", scratch.string().c_str(), error.message().c_str());
    return 1;
  }
  bool ok = InventoryBench((scratch / "inventory").string());
  std::filesystem::create_directories(scratch / "wipe", error);
  ok = WipeBench((scratch / "wipe").string(), wipeMiB) && ok;
  std::filesystem::remove_all(scratch, error);
  return ok ? 0 : 1;
}
