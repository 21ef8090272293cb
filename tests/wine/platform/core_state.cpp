#include "app/window_runs.h"
#include "tests/wine/platform/core_state.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "app/main_window.h"
#include "app/progress_window.h"
#include "devices/tables.h"
#include "devices/text_field.h"
#include "platform/platform.h"
#include "resume/breakpoint.h"
#include "tests/wine/platform/support.h"
#include "ui/headless/headless.h"
#include "ui/ui.h"

namespace wine_tests {

void ResetCoreState() {
  headless::Reset();
  // These tests look at what the passes leave; the read-back after them is tested on its own
  // and would mend the blocks a test plants in front of a resumed run.
  ui::SetOptionChecked(ui::Option::VerifyAfterWipe, false);
  CancelRequested = false;
  DriveCount = 0;
  DiskCount = 0;
  SelectedDriveRow = -1;
  SelectedDiskRow = -1;
  ResumePoint = BreakpointValues{};
}

bool LetterLeadsToImage(const std::string& devicePath, const std::string& imageFile,
                        std::uint64_t offset) {
  // A value of this moment, so a sector some earlier run left there cannot pass for it.
  const std::vector<std::uint8_t> token(512, static_cast<std::uint8_t>(GetTickCount() | 1));
  if (!WriteHostFile(imageFile, offset, token)) return false;
  platform::Device device = platform::OpenDevice(devicePath, platform::Access::Read);
  if (!device || !platform::SetPosition(device, static_cast<std::int64_t>(offset),
                                        platform::Origin::Begin)) {
    return false;
  }
  std::vector<std::uint8_t> sector(512);
  return platform::ReadDevice(device, sector.data(), 512) == 512 && sector == token;
}

void SelectDrive(const char* rootPath, const char* fileSystem, std::uint64_t capacity,
                 const std::string& capacityText) {
  DriveRecord& record = DriveTable[0];
  record = DriveRecord{};
  SetField(record.RootPath, rootPath);
  SetField(record.FileSystem, fileSystem);
  record.Capacity = capacity;
  SetField(record.CapacityText, capacityText);
  record.DiskNumber = kUnknownDisk;
  DriveCount = 1;
  SelectedDriveRow = 0;
  ResetProgressWindow(true);
  ui::SetShutdownBox(false);
}

bool LogHas(const std::string& text) {
  const std::vector<std::string> lines = headless::LogTexts();
  return std::find(lines.begin(), lines.end(), text) != lines.end();
}

}  // namespace wine_tests
