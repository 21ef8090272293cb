// The refusals "Wipe it now" and "Resume" share: the running system's volume and disk, and a
// removable disk, which is wiped by its volume instead.
#include "app/commands.h"
#include "app/target_lists.h"
#include "app/log.h"
#include "app/settings.h"
#include "devices/disk_sanitize.h"
#include "devices/inventory.h"
#include "wipe/methods.h"

namespace {

void Refuse(const std::string& message) {
  PlayCue(CueDing);
  LogMessage(message);
}

}  // namespace

bool SystemVolumeRefused(const std::string& volumeName) {
  if (!IsSystemVolume(volumeName)) return false;
  Refuse("It is current Windows drive, can not wipe.");
  return true;
}

bool DiskRefused(std::int32_t diskNumber) {
  // The removable test goes by the volumes of the drive table, which may be stale by now.
  RefreshDriveList();
  // Without the disk of the system volume any disk may hold the running Windows: a system
  // volume over two disks (mirrored or spanned) names no single disk. A Windows on a RAM disk
  // (WinPE) lies on none, and leaves every disk free.
  std::string systemName;
  std::int32_t systemDisk = 0;
  const WindowsDisk where = LocateWindowsDisk(&systemName, &systemDisk);
  if (where == WindowsDisk::Unknown) {
    Refuse("The disk of the current Windows drive is unknown, can not wipe a disk.");
    return true;
  }
  if (where == WindowsDisk::One && systemDisk == diskNumber) {
    Refuse("Current Windows drive on the disk, can not wipe.");
    return true;
  }
  if (IsRemovableDisk(diskNumber)) {
    Refuse("It is removable drive, please wipe it in drive mode.");
    return true;
  }
  return false;
}

bool MethodRefused(const Target& target, int methodId, bool resume) {
  if (methodId == kSanitizeMethodId && !resume) {
    if (!target.isDisk) {
      Refuse(std::string(kSanitizeBoxText) + " erases a whole disk: choose the disk on the \"Wipe disk\" page.");
      return true;
    }
    const std::string refusal = SanitizeRefusal(target.diskNumber, DiskSanitizeOf(target.diskNumber));
    if (refusal.empty()) return false;
    Refuse(refusal);
    return true;
  }
  // A disk busy with its own erase, or left unreadable by a failed one, takes nothing else.
  const std::string busy = BusyDiskLine(target.diskNumber, DiskSanitizeOf(target.diskNumber));
  if (busy.empty()) return false;
  Refuse(busy);
  return true;
}
