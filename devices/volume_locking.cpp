#include "devices/volume_locking.h"

#include "app/log.h"
#include "app/settings.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"

platform::Device LockedVolumeHandle;
platform::Device LockedDiskVolumes[kLockedVolumesSize];
std::int32_t LockedDiskVolumeCount = 0;
bool LockedVolumeWritesInFlight = false;

namespace {

// A volume with open files refuses the lock; a forced dismount then takes it from its file
// system all the same. A volume that locks is never dismounted.
bool Secure(const platform::Device& volume) {
  if (!volume) return false;
  return platform::ControlLockVolume(volume) || platform::ControlDismountVolume(volume);
}

void TellNotSecured() {
  PlayCue(CueDing);
  LogMessage("Unable to dismount the drive!");
}

// Unlocking a volume that was dismounted rather than locked fails; that is of no interest.
void Release(platform::Device* volume) {
  if (volume->valid()) platform::ControlUnlockVolume(*volume);
  volume->reset();
}

}  // namespace

platform::Device OpenRunDevice(const std::string& path, const std::string& subject, bool* writesInFlight) {
  platform::Device device = platform::OpenDevice(path, platform::Access::ReadWriteUnbuffered);
  *writesInFlight = device.valid();
  if (device) return device;
  device = platform::OpenDevice(path, platform::Access::ReadWrite);
  if (device) LogMessage(subject + " will not take unbuffered writes; it is written through the system's cache, one block at a time.");
  return device;
}

// Opens "\\.\E:" for reading and writing and keeps the handle in LockedVolumeHandle for the
// run. False, with "Unable to dismount the drive!" and nothing left open, when the volume can
// neither be opened, locked nor dismounted.
bool LockVolume(const std::string& volumeName) {
  LockedVolumeHandle = OpenRunDevice(VolumeDevicePath(volumeName), "Drive " + volumeName, &LockedVolumeWritesInFlight);
  if (Secure(LockedVolumeHandle)) return true;
  TellNotSecured();
  UnlockVolume();
  return false;
}

void UnlockVolume() { Release(&LockedVolumeHandle); }

// Secures every volume of DriveTable on the disk, in table order. At the first one that will
// not be secured it tells the user, releases every handle taken so far and tries no further.
bool LockDiskVolumes(std::int32_t diskNumber) {
  // Handles left by a run that never released them would otherwise stay open unseen.
  for (platform::Device& stale : LockedDiskVolumes) stale.reset();
  LockedDiskVolumeCount = 0;
  const std::int32_t rows = DriveCount < kDriveTableSize ? DriveCount : kDriveTableSize;
  for (std::int32_t row = 0; row < rows && LockedDiskVolumeCount < kLockedVolumesSize; ++row) {
    const DriveRecord& record = DriveTable[row];
    if (record.DiskNumber != diskNumber) continue;
    platform::Device& volume = LockedDiskVolumes[LockedDiskVolumeCount];
    const std::string path = VolumeDevicePath(VolumeName(FieldText(record.RootPath)));
    volume = platform::OpenDevice(path, platform::Access::ReadWrite);
    const bool secured = Secure(volume);
    ++LockedDiskVolumeCount;
    if (!secured) {
      TellNotSecured();
      UnlockDiskVolumes();
      return false;
    }
  }
  return true;
}

bool UnlockDiskVolumes() {
  for (std::int32_t i = 0; i < LockedDiskVolumeCount; ++i) Release(&LockedDiskVolumes[i]);
  LockedDiskVolumeCount = 0;
  return true;
}

// Makes the platform re-read the (now overwritten) partition layout of the disk.
bool RefreshDiskProperties(std::int32_t diskNumber) {
  platform::Device disk = platform::OpenDevice(DiskDevicePath(diskNumber), platform::Access::ReadWrite);
  return disk && platform::ControlUpdateDiskProperties(disk);
}
