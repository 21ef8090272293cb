// DriveWipeRun: one volume, from its byte 0 over its whole device length, through the handle
// that LockVolume keeps.
#include <cstring>

#include "app/log.h"
#include "app/main_window.h"
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

DriveRecord* SelectedDriveRecord() {
  if (SelectedDriveRow < 0 || SelectedDriveRow >= kDriveTableSize) {
    LogMessage("Please choose the drive first.");
    return nullptr;
  }
  return &DriveTable[SelectedDriveRow];
}

// The file system may end before the volume does (its size is what the inventory shows), so a
// fresh run overwrites the device's whole length, and only falls back to the file system's
// size when the volume will not tell its length.
std::uint64_t WholeVolumeLength(const DriveRecord& record) {
  std::uint64_t length = 0;
  if (platform::QueryLengthInfo(LockedVolumeHandle, &length) && length != 0) return length;
  return record.Capacity;
}

// NTFS stops a volume handle at the end of its file system, which ends before the volume
// does; the run writes the volume's whole length through this handle. Without the control the
// length still decides what is written, and the end of the volume may fail as a short write.
void AllowWholeVolume(const std::string& volumeName) {
  if (!platform::ControlAllowExtendedDasd(LockedVolumeHandle)) {
    LogMessage("Drive " + volumeName + " refused access past its file system; its last sectors may not be overwritten.");
  }
}

// N and T: the ResumePoint's (grown to the device's end) in a resumed run; else the volume's length, which must be known.
bool SizeDriveTarget(const std::string& volumeName, bool resume, DriveRecord* record, WipeTarget* target) {
  if (resume) {
    SizeResumedTarget(LockedVolumeHandle, target);
    return true;
  }
  const std::uint64_t length = WholeVolumeLength(*record);
  if (length == 0) {
    // Writing nothing and calling it a success would leave the whole volume as it was.
    UnlockVolume();
    LogMessage("The size of drive " + volumeName + " could not be read, can not wipe.");
    return false;
  }
  if (!SplitIntoBlocks(length, &target->blockCount, &target->tailBytes)) {
    // The count would wrap: a few blocks written and the volume called wiped.
    UnlockVolume();
    LogMessage("The size of drive " + volumeName + " is beyond 4096 TB, can not wipe.");
    return false;
  }
  NameWrittenLength(length, record->Capacity, &record->CapacityText);
  return true;
}

void FormatAfterWipe(const std::string& volumeName, int methodId, RunFacts* facts) {
  if (!ui::FormatBoxChecked()) return;
  ui::SetProgressCaption(methodId == 0 ? "Formatting drive . . ." : "  Formatting drive . . .");
  const bool formatted = FormatDrive(volumeName, kFormatCommandLineMode);
  if (facts == nullptr) return;
  facts->formatAsked = true;
  facts->formatted = formatted;
}

bool FinishDriveRun(const std::string& volumeName, const WipeMethod& method, const WipeTarget& target,
                    RunReport report, RunFacts* facts) {
  const int methodId = method.id;
  if (report.outcome == RunOutcome::Succeeded &&
      !RemoveBreakpointDurably(LockedVolumeHandle, &report.lastPass.recordRemoved)) {
    report.outcome = RunOutcome::Failed;
    NoteRunFailed(kRecordNotRemoved, facts);
  }
  switch (report.outcome) {
    case RunOutcome::Cancelled:
      // The record stays on the volume, so the wipe can be resumed.
      LogMessage("User canceled.");
      UnlockVolume();
      RefreshBothLists();
      return false;
    case RunOutcome::Failed:
      ui::ShowRunFailed();
      UnlockVolume();
      LogWipeAborted();
      RefreshBothLists();
      return false;
    case RunOutcome::Succeeded:
      break;
  }
  if (VerificationWanted(report.lastPass)) {
    const Verification verification =
        VerifyLastPass(method, target, report.lastPass, "  Verifying drive " + volumeName + " . . .");
    NoteVerification(verification, report.lastPass, facts);
    if (verification.outcome == VerifyOutcome::Failed) {
      // The record is back on the volume: the wipe can be resumed from the first failed block.
      UnlockVolume();
      LogWipeAborted();
      RefreshBothLists();
      return false;
    }
  }
  UnlockVolume();
  LogMessage(SuccessLine("Drive " + volumeName, report.unwrittenBytes));
  FormatAfterWipe(volumeName, methodId, facts);
  RefreshBothLists();
  if (ui::ShutdownBoxChecked()) ShutdownComputer();
  return true;
}

}  // namespace

bool DriveWipeRun(const std::string& volumeName, bool resume, int methodId, RunFacts* facts) {
  CancelRequested = false;
  const WipeMethod* method = MethodOfRun(methodId);
  DriveRecord* record = SelectedDriveRecord();
  if (method == nullptr || record == nullptr) return false;
  BlockBuffer buffer = AllocateBlockBuffer();
  if (!buffer) {
    LogMessage("Apply memory error!");
    return false;
  }
  if (!LockVolume(volumeName)) return false;
  AllowWholeVolume(volumeName);
  WipeTarget target{&LockedVolumeHandle, "  Wiping drive " + volumeName, &record->CapacityText, 0, 0,
                    LockedVolumeWritesInFlight};
  if (!SizeDriveTarget(volumeName, resume, record, &target)) return false;
  const RunReport report = WritePassesOfRun(*method, target, resume, buffer.get(), facts);
  buffer.reset();
  return FinishDriveRun(volumeName, *method, target, report, facts);
}
