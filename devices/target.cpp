#include "devices/target.h"

#include "devices/disk_identity.h"
#include "devices/inventory.h"
#include "devices/text_field.h"

Target DriveTarget(const DriveRecord& record) {
  Target target;
  target.volumeName = VolumeName(FieldText(record.RootPath));
  target.diskNumber = record.DiskNumber;
  target.sizeBytes = record.Capacity;
  target.sizeText = FieldText(record.CapacityText);
  target.fileSystem = FieldText(record.FileSystem);
  target.label = FieldText(record.Label);
  return target;
}

Target DiskTarget(const DiskRecord& record) {
  Target target;
  target.isDisk = true;
  target.diskNumber = record.DiskNumber;
  target.sizeBytes = record.Capacity;
  target.sizeText = FieldText(record.CapacityText);
  return target;
}

Target WithIdentity(Target target) {
  target.identity = DiskIdentity(target.diskNumber);
  // Only a whole disk is asked what it hides from an overwrite: no volume reaches that far.
  target.abilities = target.isDisk ? AskDiskAbilities(target.diskNumber, target.identity)
                                   : AskSanitizeAbilities(target.diskNumber, target.identity);
  if (target.isDisk) return target;
  platform::VolumeIdentity& identity = target.volumeIdentity;
  platform::VolumeInformation(target.volumeName + "\\", &identity.label, &identity.fileSystem, &identity.serialNumber);
  const platform::Device volume = platform::OpenDevice(TargetDevicePath(target), platform::Access::Read);
  std::uint32_t extents = 0;
  platform::DiskExtent first;
  if (volume && platform::QueryVolumeDiskExtents(volume, &extents, &first) && extents != 0) {
    target.volumeExtent = first;
  }
  return target;
}

std::string TargetSubject(const Target& target) {
  if (target.isDisk) return "Disk " + std::to_string(target.diskNumber);
  return "Drive " + target.volumeName;
}

std::string TargetDevicePath(const Target& target) {
  if (target.isDisk) return DiskDevicePath(target.diskNumber);
  return VolumeDevicePath(target.volumeName);
}
