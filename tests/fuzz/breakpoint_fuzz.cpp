// Any 4096 bytes at the start of a volume and of a disk without volumes: FindBreakpoint must
// agree with the record's layout, write nothing, leave no handle open, and the two lists must
// mark exactly the devices that carry a valid record, with texts that end inside their fields.
#include <cstring>

#include "app/window_runs.h"
#include "app/target_lists.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "resume/breakpoint.h"
#include "tests/fuzz/fuzz_support.h"
#include "ui/headless/headless.h"

namespace {

const char* const kResumable = "Incomplete wipe, resumable.";

bool SameValues(const BreakpointValues& a, const BreakpointValues& b) {
  return a.StartBlock == b.StartBlock && a.BlockCount == b.BlockCount && a.TailBytes == b.TailBytes &&
         a.PassIndex == b.PassIndex && a.MethodId == b.MethodId && a.FillByte == b.FillByte &&
         std::memcmp(a.CapacityText, b.CapacityText, sizeof a.CapacityText) == 0;
}

BreakpointValues Scrambled() {
  BreakpointValues values;
  values.StartBlock = 0xDEADBEEF;
  values.BlockCount = 0xFEEDFACE;
  values.TailBytes = 0xCAFEF00D;
  values.PassIndex = 0xA5;
  values.MethodId = 0x5A;
  values.FillByte = 0x3C;
  std::memset(values.CapacityText, 'x', sizeof values.CapacityText);
  return values;
}

void CheckFound(const fuzz::DecodedRecord& expected, bool found, const BreakpointValues& values,
                const char* where) {
  const std::string at = std::string(" on the ") + where;
  FUZZ_CHECK(found == expected.valid, "FindBreakpoint disagrees with the record layout" + at);
  if (!found) {
    FUZZ_CHECK(SameValues(values, BreakpointValues{}), "values not zeroed without a record" + at);
    return;
  }
  FUZZ_CHECK(values.StartBlock == expected.startBlock, "StartBlock" + at);
  FUZZ_CHECK(values.BlockCount == expected.blockCount, "BlockCount" + at);
  FUZZ_CHECK(values.TailBytes == expected.tailBytes, "TailBytes" + at);
  FUZZ_CHECK(values.PassIndex == expected.passIndex, "PassIndex" + at);
  FUZZ_CHECK(values.MethodId == expected.methodId, "MethodId" + at);
  FUZZ_CHECK(values.FillByte == expected.fillByte, "FillByte" + at);
  FUZZ_CHECK(std::memcmp(values.CapacityText, expected.capacityText, 50) == 0, "CapacityText" + at);
}

bool VolumeMounted() {
  for (const sim::Call& call : sim::Calls()) {
    if (call.op == sim::Op::VolumeInfo && call.path == fuzz::VolumeRootPath()) return call.ok;
  }
  fuzz::Fail("the inventory never asked for the volume's file system");
}

void CheckNothingWritten() {
  for (const sim::Call& call : sim::Calls()) {
    FUZZ_CHECK(call.op != sim::Op::Write, "a write on " + call.path + " while only reading records");
  }
  FUZZ_CHECK(sim::OpenHandles() == 0, "a device handle left open");
}

const std::vector<std::string>* RowWithCaption(const std::vector<std::vector<std::string>>& rows,
                                               const std::string& caption) {
  for (const auto& row : rows) {
    if (!row.empty() && row[0] == caption) return &row;
  }
  return nullptr;
}

void CheckRowTexts(const std::vector<std::vector<std::string>>& rows) {
  for (const auto& row : rows) {
    for (const std::string& cell : row) {
      FUZZ_CHECK(cell.find('\0') == std::string::npos, "a list cell holds a NUL");
      FUZZ_CHECK(cell.size() <= 557, "a list cell longer than any field");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::LoadSmallMachine();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> unit = fuzz::UnitFrom(data, size);
  FUZZ_CHECK(sim::WriteVolume(fuzz::kVolumeLetter, 0, unit), "planting on the volume");
  FUZZ_CHECK(sim::WriteDisk(fuzz::kBareDisk, 0, unit), "planting on the disk");
  const fuzz::Session session;
  const fuzz::DecodedRecord expected = fuzz::DecodeRecord(unit, fuzz::kTargetBytes);  // the volume and the disk alike

  // The direct calls, as the Resume command makes them.
  BreakpointValues values = Scrambled();
  bool found = FindBreakpoint(VolumeDevicePath(VolumeName(fuzz::VolumeRootPath())), &values);
  CheckFound(expected, found, values, "volume");
  values = Scrambled();
  found = FindBreakpoint(DiskDevicePath(fuzz::kBareDisk), &values);
  CheckFound(expected, found, values, "disk");
  CheckNothingWritten();

  // The inventory's use: only the answer counts, ResumePoint stays as it was.
  const BreakpointValues before = Scrambled();
  ResumePoint = before;
  sim::ClearCalls();
  RefreshDriveList();
  RefreshDiskList();
  FUZZ_CHECK(SameValues(ResumePoint, before), "the inventory changed ResumePoint");
  CheckNothingWritten();
  fuzz::CheckTablesTerminated();

  const auto driveRows = headless::Rows(ui::List::Drive);
  const auto diskRows = headless::Rows(ui::List::Disk);
  CheckRowTexts(driveRows);
  CheckRowTexts(diskRows);
  const auto* volumeRow = RowWithCaption(driveRows, fuzz::VolumeRootPath());
  FUZZ_CHECK(volumeRow != nullptr && volumeRow->size() == 4, "the volume's row is missing");
  if (!VolumeMounted()) {
    FUZZ_CHECK((*volumeRow)[1].empty(), "an unmounted volume shows a file system");
    FUZZ_CHECK((*volumeRow)[3] == (expected.valid ? kResumable : ""), "the volume's status text");
  }
  const auto* diskRow = RowWithCaption(diskRows, "Disk" + std::to_string(fuzz::kBareDisk));
  // Disk, capacity, status text, then the model: the bare disk says nothing of itself.
  FUZZ_CHECK(diskRow != nullptr && diskRow->size() == 4, "the bare disk's row is missing");
  FUZZ_CHECK((*diskRow)[2] == (expected.valid ? kResumable : ""), "the bare disk's status text");
  FUZZ_CHECK((*diskRow)[3].empty(), "the bare disk has no model to show");
  return 0;
}
