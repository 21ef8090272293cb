// Writes the seed corpora of the fuzz targets into <folder>/<target>/: records made by the
// program's own SaveBreakpoint for each method (so the seeds are what a real interrupted run
// leaves), a real boot sector, settings files and the demo machine's description.
//   fuzz_seeds tests/fuzz/corpus
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/window_runs.h"
#include "app/target_lists.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "resume/breakpoint.h"
#include "tests/fuzz/fuzz_support.h"
#include "ui/headless/headless.h"
#include "wipe/methods.h"

namespace {

std::filesystem::path root;

void Put(const std::string& target, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::filesystem::path folder = root / target;
  std::filesystem::create_directories(folder);
  const std::string path = (folder / name).string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr || (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())) {
    fuzz::Fail("cannot write " + path);
  }
  std::fclose(file);
}

struct Saved {
  std::uint32_t startBlock;
  std::uint32_t blockCount;
  std::uint32_t tailBytes;
  std::uint8_t passIndex;
  std::uint8_t methodId;
  std::uint8_t fillByte;
  const char* capacityText;
  const char* fileSystem;  // the volume's file system before the wipe; null for a disk
};

// What a run leaves: SaveBreakpoint through the program's own handle, read back raw.
std::vector<std::uint8_t> RecordOf(const Saved& saved) {
  fuzz::ResetSession();
  RefreshDriveList();
  const bool disk = saved.fileSystem == nullptr;
  headless::SetActivePage(disk ? ui::kPageWipeDisk : ui::kPageWipeDrive);
  SelectedDriveRow = -1;
  for (int i = 0; !disk && i < DriveCount; ++i) {
    if (FieldText(DriveTable[i].RootPath) == fuzz::VolumeRootPath()) {
      SelectedDriveRow = i;
      SetField(DriveTable[i].FileSystem, saved.fileSystem);
    }
  }
  const std::string path = disk ? fuzz::BareDiskDevicePath() : fuzz::VolumeDevicePathText();
  const std::vector<std::uint8_t> blank(fuzz::kUnitBytes, 0);
  if (disk ? !sim::WriteDisk(fuzz::kBareDisk, 0, blank) : !sim::WriteVolume(fuzz::kVolumeLetter, 0, blank)) {
    fuzz::Fail("cannot clear the target");
  }
  char capacityText[50] = {};
  std::memcpy(capacityText, saved.capacityText, std::min<std::size_t>(std::strlen(saved.capacityText), 50));
  {
    WindowRunContext context;
    platform::Device device = platform::OpenDevice(path, platform::Access::ReadWrite);
    if (!device || !platform::SetPosition(device, std::int64_t{saved.startBlock} * kBlockSize, platform::Origin::Begin) ||
        !SaveBreakpoint(device, saved.startBlock, saved.blockCount, saved.tailBytes, saved.passIndex,
                        saved.methodId, capacityText, saved.fillByte, nullptr, context)) {
      fuzz::Fail("SaveBreakpoint failed on " + path);
    }
  }
  std::vector<std::uint8_t> unit = disk ? sim::ReadDisk(fuzz::kBareDisk, 0, fuzz::kUnitBytes)
                                        : sim::ReadVolume(fuzz::kVolumeLetter, 0, fuzz::kUnitBytes);
  if (!fuzz::DecodeRecord(unit, fuzz::kTargetBytes).sealed) fuzz::Fail("SaveBreakpoint left no valid record on " + path);
  return unit;
}

std::vector<std::uint8_t> Head(const std::vector<std::uint8_t>& unit, std::size_t bytes) {
  return std::vector<std::uint8_t>(unit.begin(), unit.begin() + static_cast<std::ptrdiff_t>(bytes));
}

// The resume target's input: options, the pump at which Cancel comes, the record's first bytes.
std::vector<std::uint8_t> ResumeInput(std::uint8_t options, std::uint8_t cancelAt,
                                      const std::vector<std::uint8_t>& unit) {
  std::vector<std::uint8_t> input{options, cancelAt};
  const std::vector<std::uint8_t> head = Head(unit, 1024);
  input.insert(input.end(), head.begin(), head.end());
  return input;
}

void RecordSeeds() {
  // Records that fit the small targets (2 blocks and a tail) and some that do not.
  const Saved volumeRecords[kMethodCount] = {
      {1, 2, 4608, 0, 0, 0x00, "2 MB", "NTFS"},
      {1, 2, 4608, 1, 1, 0x00, "2 MB", "FAT32"},
      {1, 2, 4608, 5, 2, 0x9E, "2 MB", "exFAT"},
      {1, 2, 4608, 2, 3, 0x00, "2 MB", "FAT"},
      {1, 2, 4608, 1, 4, 0x00, "2 MB", "NTFS"},
  };
  for (int m = 0; m < kMethodCount; ++m) {
    const std::vector<std::uint8_t> unit = RecordOf(volumeRecords[m]);
    const std::string name = "volume-method-" + std::to_string(m);
    Put("breakpoint", name, unit);
    Put("resume", name, ResumeInput(0, 0, unit));
    Put("resume", name + "-cancel", ResumeInput(0, 6, unit));
  }
  const Saved diskRecords[kMethodCount] = {
      {1, 2, 4608, 0, 0, 0x00, "2 MB", nullptr},
      {1, 2, 4608, 2, 1, 0x00, "2 MB", nullptr},
      {1, 2, 4608, 6, 2, 0x61, "2 MB", nullptr},
      {1, 2, 4608, 1, 3, 0x00, "2 MB", nullptr},
      {1, 2, 4608, 0, 4, 0x00, "2 MB", nullptr},
  };
  for (int m = 0; m < kMethodCount; ++m) {
    const std::vector<std::uint8_t> unit = RecordOf(diskRecords[m]);
    const std::string name = "disk-method-" + std::to_string(m);
    Put("breakpoint", name, unit);
    Put("resume", name, ResumeInput(1, 0, unit));
  }
  // A size text that fills all 50 bytes, with no terminator, as another program may leave it.
  const std::string full(50, '9');
  const std::vector<std::uint8_t> unterminated = RecordOf({1, 2, 4608, 0, 0, 0, full.c_str(), "NTFS"});
  Put("breakpoint", "capacity-text-without-nul", unterminated);
  Put("resume", "capacity-text-without-nul", ResumeInput(0, 0, unterminated));
  Put("resume", "capacity-text-without-nul-disk", ResumeInput(1, 0, unterminated));
  // A record from a larger device, and one of a method the program does not have.
  Put("resume", "record-of-a-larger-device", ResumeInput(0, 0, RecordOf({700, 953, 1000, 0, 1, 0, "953 MB", "NTFS"})));
  Put("resume", "method-7", ResumeInput(0, 0, RecordOf({1, 2, 4608, 0, 7, 0, "2 MB", "NTFS"})));
}

void BootSectorSeed() {
  if (!sim::FormatVolume(fuzz::kVolumeLetter, "FAT32", "DATA", 0)) fuzz::Fail("cannot format the volume");
  Put("breakpoint", "boot-sector-fat32", Head(sim::ReadVolume(fuzz::kVolumeLetter, 0, fuzz::kUnitBytes), 512));
}

void SettingsSeeds() {
  std::vector<std::uint8_t> on(50, 0);
  std::vector<std::uint8_t> off(50, 0);
  off[0] = 0xFF;
  Put("settings", "sound-on", on);
  Put("settings", "sound-off", off);
  Put("settings", "empty", {});
  Put("settings", "one-byte-ff", {0xFF});
  Put("settings", "long", std::vector<std::uint8_t>(100, 0xFF));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_seeds <corpus folder>\n");
    return 2;
  }
  root = argv[1];
  fuzz::LoadSmallMachine();
  RecordSeeds();
  BootSectorSeed();
  SettingsSeeds();
  return 0;
}
