// DiskWipeRun: a whole physical disk, partition table and all, through a handle of its own,
// while every listed volume of the disk is held by LockDiskVolumes.
#include <cstring>

#include "app/log.h"
#include "app/main_window.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/volume_locking.h"
#include "postwipe/postwipe.h"
#include "resume/breakpoint.h"
#include "ui/ui.h"
#include "wipe/engine.h"
#include "wipe/pass_buffer.h"
#include "wipe/runs.h"
#include "wipe/verify.h"

namespace {

DiskRecord* SelectedDiskRecord() {
  if (SelectedDiskRow < 0 || SelectedDiskRow >= kDiskTableSize) {
    LogMessage("Please choose the disk first.");
    return nullptr;
  }
  return &DiskTable[SelectedDiskRow];
}

// The disk's length as the disk itself reports it, else the size the inventory found; 0 when
// neither is known.
std::uint64_t DiskLength(const platform::Device& disk, const DiskRecord& record) {
  std::uint64_t length = 0;
  if (platform::QueryLengthInfo(disk, &length) && length != 0) return length;
  return record.Capacity;
}

// The run writes through the disk handle, which no file system bounds, so it sends no
// extended-DASD control; the disk's volumes are locked or dismounted and never written through.
// The disk handle is closed before the volumes are let go, and the platform re-reads the
// layout only after both.
void ReleaseDisk(platform::Device* disk, std::int32_t diskNumber) {
  disk->reset();
  UnlockDiskVolumes();
  RefreshDiskProperties(diskNumber);
}

// N and T: the ResumePoint's (grown to the device's end) in a resumed run; else the disk's length, which must be known.
bool SizeDiskTarget(const platform::Device& disk, std::int32_t diskNumber, bool resume,
                    DiskRecord* record, WipeTarget* target) {
  if (resume) {
    SizeResumedTarget(disk, target);
    return true;
  }
  const std::uint64_t length = DiskLength(disk, *record);
  if (length == 0) {
    // Writing nothing and calling it a success would leave the whole disk as it was.
    LogMessage("The size of disk " + std::to_string(diskNumber) + " could not be read, can not wipe.");
    return false;
  }
  if (!SplitIntoBlocks(length, &target->blockCount, &target->tailBytes)) {
    // The count would wrap: a few blocks written and the disk called wiped.
    LogMessage("The size of disk " + std::to_string(diskNumber) + " is beyond 4096 TB, can not wipe.");
    return false;
  }
  NameWrittenLength(length, record->Capacity, &record->CapacityText);
  return true;
}

bool FinishDiskRun(platform::Device* disk, std::int32_t diskNumber, const WipeMethod& method,
                   const WipeTarget& target, RunReport report, RunFacts* facts) {
  if (report.outcome == RunOutcome::Succeeded && !RemoveBreakpointDurably(*disk, &report.lastPass.recordRemoved)) {
    report.outcome = RunOutcome::Failed;
    NoteRunFailed(kRecordNotRemoved, facts);
  }
  switch (report.outcome) {
    case RunOutcome::Cancelled:
      // The record stays at byte 0 of the disk, so the wipe can be resumed.
      LogMessage("User canceled.");
      ReleaseDisk(disk, diskNumber);
      RefreshBothLists();
      return false;
    case RunOutcome::Failed:
      ui::ShowRunFailed();
      ReleaseDisk(disk, diskNumber);
      LogWipeAborted();
      RefreshBothLists();
      return false;
    case RunOutcome::Succeeded:
      break;
  }
  if (VerificationWanted(report.lastPass)) {
    const Verification verification = VerifyLastPass(
        method, target, report.lastPass, "  Verifying disk" + std::to_string(diskNumber) + " . . .");
    NoteVerification(verification, report.lastPass, facts);
    if (verification.outcome == VerifyOutcome::Failed) {
      // The record is back at byte 0 of the disk: the wipe can be resumed.
      ReleaseDisk(disk, diskNumber);
      LogWipeAborted();
      RefreshBothLists();
      return false;
    }
  }
  ReleaseDisk(disk, diskNumber);
  LogMessage(SuccessLine("Disk " + std::to_string(diskNumber), report.unwrittenBytes));
  LogMessage("You can partition and format the disk in Control panel->");
  LogMessage("Administrator's tool->Computer management->Disk management.");
  RefreshBothLists();
  if (ui::ShutdownBoxChecked()) ShutdownComputer();
  return true;
}

}  // namespace

bool DiskWipeRun(std::int32_t diskNumber, bool resume, int methodId, RunFacts* facts) {
  CancelRequested = false;
  const WipeMethod* method = MethodOfRun(methodId);
  DiskRecord* record = SelectedDiskRecord();
  if (method == nullptr || record == nullptr) return false;
  BlockBuffer buffer = AllocateBlockBuffer();
  if (!buffer) {
    LogMessage("Apply memory error!");
    return false;
  }
  // The drive table must list the disk's volumes as they are now before they are secured.
  RefreshDriveList();
  if (!LockDiskVolumes(diskNumber)) return false;
  bool writesInFlight = false;
  platform::Device disk = OpenRunDevice(DiskDevicePath(diskNumber), "Disk " + std::to_string(diskNumber), &writesInFlight);
  if (!disk) {
    LogMessage("Open disk error!");
    ReleaseDisk(&disk, diskNumber);
    return false;
  }
  WipeTarget target{&disk, "  Wiping disk" + std::to_string(diskNumber), &record->CapacityText, 0, 0, writesInFlight};
  if (!SizeDiskTarget(disk, diskNumber, resume, record, &target)) {
    ReleaseDisk(&disk, diskNumber);
    return false;
  }
  const RunReport report = WritePassesOfRun(*method, target, resume, buffer.get(), facts);
  buffer.reset();
  return FinishDiskRun(&disk, diskNumber, *method, target, report, facts);
}
