#include "devices/disk_sanitize.h"

#include "devices/inventory.h"

DiskSanitize DiskSanitizes[kDiskTableSize];

DiskSanitize ReadDiskSanitize(const platform::Device& disk) {
  DiskSanitize answer;
  platform::NvmeController controller;
  std::uint32_t error = 0;
  if (!disk || !platform::QueryNvmeController(disk, &controller, &error)) return answer;
  answer.nvme = true;
  answer.cryptoErase = controller.cryptoErase;
  answer.blockErase = controller.blockErase;
  answer.statusKnown = platform::QuerySanitizeStatus(disk, &answer.status, &error);
  return answer;
}

DiskSanitize DiskSanitizeOf(std::int32_t diskNumber) {
  if (diskNumber < 0 || diskNumber >= kDiskTableSize) return DiskSanitize();
  return ReadDiskSanitize(platform::OpenDevice(DiskDevicePath(diskNumber), platform::Access::QueryOnly));
}

platform::SanitizeAction ChosenAction(const DiskSanitize& disk) {
  return disk.cryptoErase ? platform::SanitizeAction::CryptoErase : platform::SanitizeAction::BlockErase;
}

const char* ActionText(platform::SanitizeAction action) {
  return action == platform::SanitizeAction::CryptoErase ? "crypto erase" : "block erase";
}

int SanitizePercent(const platform::SanitizeStatus& status) {
  const std::uint64_t percent = std::uint64_t{status.progress} * 100 / 65536;
  return percent > 100 ? 100 : static_cast<int>(percent);
}

std::string SanitizeStatusText(const DiskSanitize& disk) {
  if (disk.InProgress()) return "Sanitize in progress, " + std::to_string(SanitizePercent(disk.status)) + "% done.";
  if (disk.Failed()) return "Last sanitize failed; only Device sanitize can erase it.";
  return "";
}

std::string BusyDiskLine(std::int32_t diskNumber, const DiskSanitize& disk) {
  const std::string subject = "Disk " + std::to_string(diskNumber);
  if (disk.InProgress()) {
    return subject + " is sanitizing itself (" + std::to_string(SanitizePercent(disk.status)) +
           "% done); nothing can be done to it until it has finished.";
  }
  if (disk.Failed()) return subject + "'s last sanitize failed; only a new Device sanitize can erase it.";
  return "";
}

std::string SanitizeRefusal(std::int32_t diskNumber, const DiskSanitize& disk) {
  const std::string subject = "Disk " + std::to_string(diskNumber);
  if (disk.InProgress()) return BusyDiskLine(diskNumber, disk);
  if (!disk.nvme) {
    return subject + " is not an NVMe disk: Windows passes a disk's own sanitize only to NVMe disks (a SATA disk "
                     "needs its maker's tool or WinPE). Choose an overwrite method.";
  }
  if (!disk.Offered()) {
    return subject + " offers no sanitize of its own (neither crypto erase nor block erase). Choose an overwrite method.";
  }
  return "";
}
