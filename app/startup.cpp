// What the main window does when it is created and closed: settings, quiet critical errors,
// the platform and disk checks, the first filling of both lists.
#include <cstdint>

#include "app/commands.h"
#include "app/target_lists.h"
#include "app/handlers.h"
#include "app/main_window.h"
#include "app/settings.h"
#include "devices/inventory.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace {

constexpr int kProbedDisks = 5;  // physical disks 0 to 4
constexpr std::uint32_t kProbeSectors = 8;

const char* const kWin9xMessage = "Dunmere does not support Win9x system (Win95 Win98 WinMe). ";
const char* const kNoDiskMessage =
    "Did not find any disk drive in your machine. Please be sure that you are logged on as "
    "administrator and close any other disk management software.";

std::uint32_t SavedErrorMode = 0;

bool AnyDiskReadable() {
  std::uint8_t buffer[4096];
  for (int disk = 0; disk < kProbedDisks; ++disk) {
    if (SectorReader(static_cast<std::uint8_t>(disk), 0, kProbeSectors, buffer) != 0) return true;
  }
  return false;
}

void RefuseStart(const char* message) {
  PlayCue(CueDing);
  ui::WarningDialog(message);
  ui::RequestTermination();
}

}  // namespace

bool IsNtPlatform() { return platform::PlatformId() == platform::kPlatformNt; }

void StartupChecks() {
  // The probe comes first even on the 9x family, where the sector library answers it.
  const bool diskFound = AnyDiskReadable();
  if (!IsNtPlatform()) RefuseStart(kWin9xMessage);
  if (!diskFound) RefuseStart(kNoDiskMessage);
}

namespace app {

void FormCreate() {
  ui::SetMainCaption(std::string("  Dunmere v") + kVersionText);
  LoadSettings();
  // Probing an empty card reader or an unready drive must fail quietly, not raise a system box.
  SavedErrorMode = platform::ChangeErrorMode(platform::kSemFailCriticalErrors);
  StartupChecks();
  // A failed check has only asked for termination; the lists are still filled, as the loop
  // ends the program before anyone sees them.
  for (unsigned char& entry : LastDriveChecks) entry = 0;
  RefreshDriveList();  // before the disks: the disk list names the volumes on each disk
  RefreshDiskList();
}

void FormClose() {
  SaveSettings();
  platform::ChangeErrorMode(SavedErrorMode);
}

}  // namespace app
