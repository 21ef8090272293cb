// What one "Scan for hardware changes" costs on the demo machine: the drive list, then the
// disk list, which probes all 100 disk numbers and queries the geometry of every disk found.
#include "app/target_lists.h"
#include "tests/bench/inventory_bench.h"

#include <chrono>
#include <cstdio>

#include "devices/inventory.h"
#include "devices/tables.h"
#include "platform/sim/machine.h"
#include "ui/headless/headless.h"

namespace {

constexpr int kRefreshes = 200;

struct OpenCount {
  long attempted = 0;
  long failed = 0;
};

OpenCount CountOpens() {
  OpenCount count;
  for (const sim::Call& call : sim::Calls()) {
    if (call.op != sim::Op::Open) continue;
    ++count.attempted;
    if (!call.ok) ++count.failed;
  }
  return count;
}

// The opens the algorithm asks for: one extents query per listed volume, one probe per disk
// number, two geometry queries per disk found, one record check per volume without a file
// system and per disk without volumes.
long RequiredOpens() {
  long opens = DriveCount + 100 + 2L * DiskCount;
  for (int i = 0; i < DriveCount; ++i) opens += DriveTable[i].FileSystem[0] == '\0' ? 1 : 0;
  for (int i = 0; i < DiskCount; ++i) {
    bool hasVolume = false;
    for (int v = 0; v < DriveCount; ++v) hasVolume = hasVolume || DriveTable[v].DiskNumber == DiskTable[i].DiskNumber;
    opens += hasVolume ? 0 : 1;
  }
  return opens;
}

}  // namespace

bool InventoryBench(const std::string& imageFolder) {
  std::string error;
  if (!sim::Load(sim::DemoMachine(imageFolder), &error)) {
    std::printf("inventory: the demo machine could not be loaded: %s\n", error.c_str());
    return false;
  }
  headless::Reset();

  sim::ClearCalls();
  RefreshDriveList();
  RefreshDiskList();
  const OpenCount opens = CountOpens();
  const long required = RequiredOpens();

  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kRefreshes; ++i) {
    sim::ClearCalls();
    RefreshDriveList();
    RefreshDiskList();
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double perRefreshUs = seconds * 1e6 / kRefreshes;

  std::printf("inventory: full refresh of both lists on the demo machine (%d volumes, %d disks)\n", DriveCount,
              DiskCount);
  std::printf("inventory:   %.1f us per refresh (%d refreshes)\n", perRefreshUs, kRefreshes);
  std::printf("inventory:   %ld device opens per refresh (%ld of them fail: absent disk numbers)\n",
              opens.attempted, opens.failed);
  std::printf("inventory:   opens / opens the algorithm requires = %ld / %ld = %.2f\n", opens.attempted, required,
              static_cast<double>(opens.attempted) / static_cast<double>(required));
  std::printf("inventory:   %.2f us per device open\n", perRefreshUs / static_cast<double>(opens.attempted));
  return true;
}
