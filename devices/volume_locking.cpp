#include "devices/volume_locking.h"

#include "devices/inventory.h"

namespace {

// A volume with open files refuses the lock; a forced dismount then takes it from its file
// system all the same. A dismounted volume is mounted again by the next program that opens it,
// but the dismount closed the files that refused the lock, so the lock is asked for again and
// the dismount alone stays only when it is still refused. A volume that locks is never
// dismounted.
bool Secure(const platform::Device& volume) {
  if (!volume) return false;
  if (platform::ControlLockVolume(volume)) return true;
  if (!platform::ControlDismountVolume(volume)) return false;
  platform::ControlLockVolume(volume);
  return true;
}

void TellNotSecured(RunContext& context) {
  context.Refused();
  context.Log("Unable to dismount the drive!");
}

// Unlocking a volume that was dismounted rather than locked fails; that is of no interest.
void Release(platform::Device* volume) {
  if (volume->valid()) platform::ControlUnlockVolume(*volume);
  volume->reset();
}

}  // namespace

platform::Device OpenRunDevice(RunContext& context, const std::string& path, const std::string& subject) {
  platform::Device device = platform::OpenDevice(path, platform::Access::ReadWriteUnbuffered);
  if (device) return device;
  device = platform::OpenDevice(path, platform::Access::ReadWrite);
  if (device) context.Log(subject + " will not take unbuffered writes; it is written through the system's cache, one block at a time.");
  return device;
}

bool LockVolume(RunContext& context, const std::string& volumeName, platform::Device* volume) {
  *volume = OpenRunDevice(context, VolumeDevicePath(volumeName), "Drive " + volumeName);
  if (Secure(*volume)) return true;
  TellNotSecured(context);
  UnlockVolume(volume);
  return false;
}

void UnlockVolume(platform::Device* volume) { Release(volume); }

bool LockDiskVolumes(RunContext& context, const std::vector<std::string>& volumeNames,
                     std::vector<platform::Device>* held) {
  UnlockDiskVolumes(held);
  for (const std::string& volumeName : volumeNames) {
    held->push_back(platform::OpenDevice(VolumeDevicePath(volumeName), platform::Access::ReadWrite));
    if (Secure(held->back())) continue;
    TellNotSecured(context);
    UnlockDiskVolumes(held);
    return false;
  }
  return true;
}

void UnlockDiskVolumes(std::vector<platform::Device>* held) {
  for (platform::Device& volume : *held) Release(&volume);
  held->clear();
}

// Makes the platform re-read the (now overwritten) partition layout of the disk.
bool RefreshDiskProperties(std::int32_t diskNumber) {
  platform::Device disk = platform::OpenDevice(DiskDevicePath(diskNumber), platform::Access::ReadWrite);
  return disk && platform::ControlUpdateDiskProperties(disk);
}
