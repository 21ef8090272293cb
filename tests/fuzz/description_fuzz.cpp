// A machine description as a person writes it, with any bytes in it: malformed JSON and wrong
// types give false and a message, never a crash. A description that parses is then loaded
// (in memory: image paths are dropped so no host file is touched) and listed by both
// inventories, which must cope with whatever sizes and geometry it holds.
#include <string>

#include "app/target_lists.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "tests/fuzz/fuzz_support.h"
#include "ui/headless/headless.h"

namespace {

// A disk or volume the size of a real one costs nothing in a sparse store, but a clock that
// really sleeps or writes paced in real time would stall the fuzzer.
void MakeHarmless(sim::Machine* machine) {
  machine->hostFolder.clear();
  machine->realClock = false;
  machine->writeDelayMs = 0;
  for (sim::Disk& disk : machine->disks) disk.image.clear();
}

// Each input leaves an empty machine behind, so that what it loaded is freed within it.
struct EmptyMachineAfter {
  ~EmptyMachineAfter() {
    headless::Reset();
    sim::Load(sim::Machine{}, nullptr);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const EmptyMachineAfter cleanup;
  const std::string text(reinterpret_cast<const char*>(data), size);
  sim::Machine machine;
  std::string error;
  if (!sim::ParseDescription(text, &machine, &error)) {
    FUZZ_CHECK(!error.empty(), "a description was refused without a message");
    return 0;
  }
  MakeHarmless(&machine);
  error.clear();
  if (!sim::Load(machine, &error)) {
    FUZZ_CHECK(!error.empty(), "a machine was refused without a message");
    return 0;
  }
  headless::Reset();
  RefreshDriveList();
  RefreshDiskList();
  fuzz::CheckTablesTerminated();
  FUZZ_CHECK(sim::OpenHandles() == 0, "a device handle left open");
  return 0;
}
