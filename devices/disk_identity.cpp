// What the physical disks say of themselves, kept beside the disk table.
#include "devices/disk_identity.h"

#include "devices/inventory.h"

platform::DeviceIdentity DiskIdentities[kDiskTableSize];

platform::DeviceIdentity DiskIdentity(std::int32_t diskNumber) {
  platform::DeviceIdentity identity;
  if (diskNumber < 0 || diskNumber >= kDiskTableSize) return identity;
  platform::Device disk = platform::OpenDevice(DiskDevicePath(diskNumber), platform::Access::QueryOnly);
  if (disk) platform::QueryDeviceIdentity(disk, &identity);
  return identity;
}

std::string ModelText(const platform::DeviceIdentity& identity) {
  if (identity.vendor.empty()) return identity.product;
  if (identity.product.empty()) return identity.vendor;
  return identity.vendor + " " + identity.product;
}

std::string ModelAndSerialText(const platform::DeviceIdentity& identity) {
  const std::string model = ModelText(identity);
  if (identity.serial.empty()) return model;
  const std::string serial = "S/N " + identity.serial;
  return model.empty() ? serial : model + " \xC2\xB7 " + serial;  // U+00B7 middle dot
}

