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
