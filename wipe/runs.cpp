// The run of a method over a volume or a disk. A volume is written from its byte 0 over its
// whole device length through the handle that locks it; a disk, partition table and all,
// through a handle of its own while every lettered volume on it is held.
#include "wipe/runs.h"

#include <functional>

#include "devices/inventory.h"
#include "devices/text_field.h"
#include "devices/volume_locking.h"
#include "resume/breakpoint.h"
#include "wipe/engine.h"
#include "wipe/pass_buffer.h"
#include "wipe/run_end.h"
#include "wipe/sanitize_run.h"

namespace {

// The texts a run keeps of its own while it works: what it shows and saves as the total, and
// a volume's file-system name that its records carry.
struct RunTexts {
  char capacity[50] = {};
  char fileSystem[50] = {};
};

RunTexts TextsOf(const Target& target) {
  RunTexts texts;
  SetField(texts.capacity, target.sizeText);
  SetField(texts.fileSystem, target.fileSystem);
  return texts;
}

// The target's length as its device reports it, else the size the inventory found; 0 when
// neither is known. A volume's file system may end before the volume does, so a fresh run
// overwrites the device's whole length.
std::uint64_t DeviceLength(const platform::Device& device, const Target& target) {
  std::uint64_t length = 0;
  if (platform::QueryLengthInfo(device, &length) && length != 0) return length;
  return target.sizeBytes;
}

// N and T: the record's (grown to the device's end) in a resumed run; else the target's
// length, which must be known.
bool SizeRunTarget(const Target& target, const BreakpointValues* resumePoint, WipeTarget* run) {
  if (resumePoint != nullptr) {
    SizeResumedTarget(*run->device, *resumePoint, run);
    return true;
  }
  const std::string name = target.isDisk ? "disk " + std::to_string(target.diskNumber) : "drive " + target.volumeName;
  const std::uint64_t length = DeviceLength(*run->device, target);
  if (length == 0) {
    // Writing nothing and calling it a success would leave the whole target as it was.
    run->context.Log("The size of " + name + " could not be read, can not wipe.");
    return false;
  }
  if (!SplitIntoBlocks(length, &run->blockCount, &run->tailBytes)) {
    // The count would wrap: a few blocks written and the target called wiped.
    run->context.Log("The size of " + name + " is beyond 4096 TB, can not wipe.");
    return false;
  }
  NameWrittenLength(length, target.sizeBytes, run->capacityText);
  return true;
}

// The passes and the end, once the target is secured, opened and sized.
bool WriteAndFinish(const WipeMethod& method, const WipeTarget& run, const BreakpointValues* resumePoint,
                    BlockBuffer* buffer, const RunEndSteps& steps) {
  WritePasses(method, run, StartOfRun(resumePoint, method), buffer->get(), &run.context.result);
  // The verification needs memory of its own.
  buffer->reset();
  return FinishRun(method, run, steps, &run.context.result);
}

bool Differs(const std::string& then, const std::string& now) { return !then.empty() && !now.empty() && then != now; }

// The disk behind the handle the run will write is still the one the user chose: one swapped
// in under the same number, or the same resized, would otherwise be wiped unasked. What cannot
// be read is not held against it.
bool SameDisk(const platform::Device& disk, const Target& target) {
  platform::DiskGeometry geometry;
  std::uint64_t size = 0;
  if (target.sizeBytes != 0 && platform::QueryDriveGeometryEx(disk, &geometry, &size) && size != 0 &&
      size != target.sizeBytes) {
    return false;
  }
  platform::DeviceIdentity now;
  if (!platform::QueryDeviceIdentity(disk, &now)) return true;
  const platform::DeviceIdentity& then = target.identity;
  return !Differs(then.serial, now.serial) && !Differs(then.vendor, now.vendor) && !Differs(then.product, now.product);
}

// What tells the volume behind the handle from the one chosen ("its disk changed"), or empty
// when nothing that can be read does: another volume put under the letter, the same moved,
// resized or formatted anew.
std::string VolumeChange(const platform::Device& volume, const Target& target) {
  std::uint32_t extents = 0;
  platform::DiskExtent first;
  if (platform::QueryVolumeDiskExtents(volume, &extents, &first) && extents != 0) {
    if (target.diskNumber != kUnknownDisk && static_cast<std::int32_t>(first.diskNumber) != target.diskNumber) {
      return "its disk changed";
    }
    const platform::DiskExtent& chosen = target.volumeExtent;
    if (chosen.extentLength != 0 && first.extentLength != chosen.extentLength) return "its size changed";
    // Another volume of the same length on the same disk: without a file system it tells
    // nothing else.
    if (chosen.extentLength != 0 && first.startingOffset != chosen.startingOffset) return "its place on its disk changed";
  }
  const platform::VolumeIdentity& then = target.volumeIdentity;
  platform::VolumeIdentity now;
  // A volume without a file system (wiped, or a record left in it) has nothing more to tell.
  if (then.fileSystem.empty() || !platform::QueryVolumeIdentity(volume, &now)) return "";
  if (then.serialNumber != 0 && now.serialNumber != 0 && now.serialNumber != then.serialNumber) {
    return "its serial number changed";
  }
  if (now.fileSystem != then.fileSystem) return "its file system changed";
  if (now.label != then.label) return "its label changed";
  return "";
}

// A target that is no longer the one chosen is let go before anything is written.
bool RefusedAsSwapped(RunContext& context, const std::string& line, const std::function<void()>& release) {
  release();
  context.Log(line);
  context.TargetsChanged();
  return false;
}

// NTFS stops a volume handle at the end of its file system, which ends before the volume
// does; the run writes the volume's whole length through this handle. Without the control the
// length still decides what is written, and the end of the volume may fail as a short write.
void AllowWholeVolume(RunContext& context, const platform::Device& volume, const std::string& volumeName) {
  if (!platform::ControlAllowExtendedDasd(volume)) {
    context.Log("Drive " + volumeName + " refused access past its file system; its last sectors may not be overwritten.");
  }
}

void FormatAfterWipe(RunContext& context, const std::string& volumeName, int methodId,
                     const std::string& formerFileSystem) {
  if (!context.Chosen(RunChoice::Format)) return;
  context.SetCaption(methodId == 0 ? "Formatting drive . . ." : "  Formatting drive . . .");
  RunResult& result = context.result;
  result.formatAsked = true;
  result.formatted = context.FormatVolume(volumeName, formerFileSystem);
  std::string label;
  if (result.formatted) platform::VolumeInformation(volumeName + "\\", &label, &result.formattedWith);
}

bool VolumeRun(RunContext& context, const Target& target, const BreakpointValues* resumePoint,
               const WipeMethod& method, BlockBuffer* buffer) {
  const std::string& volumeName = target.volumeName;
  platform::Device volume;
  if (!LockVolume(context, volumeName, &volume)) return false;
  const std::string change = VolumeChange(volume, target);
  if (!change.empty()) {
    return RefusedAsSwapped(context,
                            "Drive " + volumeName + " is not the drive that was selected (" + change +
                                "); nothing was written. Choose it again.",
                            [&volume] { UnlockVolume(&volume); });
  }
  AllowWholeVolume(context, volume, volumeName);
  RunTexts texts = TextsOf(target);
  if (resumePoint != nullptr) {
    // The list shows a volume being wiped without its file system; its record kept it.
    context.result.recordFileSystem = FieldText(resumePoint->FileSystem);
    if (texts.fileSystem[0] == '\0') SetField(texts.fileSystem, context.result.recordFileSystem);
  }
  WipeTarget run{context, &volume, "  Wiping drive " + volumeName, &texts.capacity, 0, 0, &texts.fileSystem};
  if (!SizeRunTarget(target, resumePoint, &run)) {
    UnlockVolume(&volume);
    return false;
  }
  RunEndSteps steps;
  steps.subject = "Drive " + volumeName;
  steps.verifyCaption = "  Verifying drive " + volumeName + " . . .";
  steps.release = [&volume] { UnlockVolume(&volume); };
  // The records carried the former file system across the wipe into texts.fileSystem.
  steps.afterSuccess = [&] { FormatAfterWipe(context, volumeName, method.id, FieldText(texts.fileSystem)); };
  return WriteAndFinish(method, run, resumePoint, buffer, steps);
}

// A disk as a run holds it: every lettered volume on it secured, its own handle open. The
// handle is closed before the volumes are let go, and the platform re-reads the layout only
// after both.
class HeldDisk {
 public:
  explicit HeldDisk(std::int32_t diskNumber) : diskNumber_(diskNumber) {}
  HeldDisk(const HeldDisk&) = delete;
  HeldDisk& operator=(const HeldDisk&) = delete;
  ~HeldDisk() { Release(); }

  // Secures the volumes and opens the disk: unbuffered for the passes, plainly for a sanitize,
  // whose control waits on the handle. False, with the line why, when the disk is not held or
  // is no longer the disk chosen.
  bool Take(RunContext& context, const Target& target, bool forSanitize) {
    const std::string number = std::to_string(diskNumber_);
    // The disk's volumes as they are now, before they are secured; the report names them.
    context.result.diskVolumes = context.VolumesOfDisk(diskNumber_);
    if (!LockDiskVolumes(context, context.result.diskVolumes, &volumes_)) return false;
    held_ = true;
    disk_ = forSanitize ? platform::OpenDevice(DiskDevicePath(diskNumber_), platform::Access::ReadWrite)
                        : OpenRunDevice(context, DiskDevicePath(diskNumber_), "Disk " + number);
    if (!disk_) {
      context.Log("Open disk error!");
      Release();
      return false;
    }
    if (!SameDisk(disk_, target)) {
      return RefusedAsSwapped(
          context, "Disk " + number + " is not the disk that was selected (its serial or size changed); nothing was written. Choose it again.",
          [this] { Release(); });
    }
    return true;
  }

  const platform::Device& disk() const { return disk_; }

  void Release() {
    if (!held_) return;
    held_ = false;
    disk_.reset();
    UnlockDiskVolumes(&volumes_);
    RefreshDiskProperties(diskNumber_);
  }

 private:
  std::int32_t diskNumber_;
  bool held_ = false;
  std::vector<platform::Device> volumes_;
  platform::Device disk_;
};

// The run writes through the disk handle, which no file system bounds, so it sends no
// extended-DASD control; the disk's volumes are locked or dismounted and never written through.
bool DiskRun(RunContext& context, const Target& target, const BreakpointValues* resumePoint,
             const WipeMethod& method, BlockBuffer* buffer) {
  const std::string number = std::to_string(target.diskNumber);
  HeldDisk held(target.diskNumber);
  if (!held.Take(context, target, false)) return false;
  RunTexts texts = TextsOf(target);
  WipeTarget run{context, &held.disk(), "  Wiping disk" + number, &texts.capacity, 0, 0};
  if (!SizeRunTarget(target, resumePoint, &run)) {
    held.Release();
    return false;
  }
  RunEndSteps steps;
  steps.subject = "Disk " + number;
  steps.verifyCaption = "  Verifying disk" + number + " . . .";
  steps.release = [&held] { held.Release(); };
  steps.afterSuccess = [&context] { AdviseOnPartitioning(context); };
  return WriteAndFinish(method, run, resumePoint, buffer, steps);
}

// The disk's own erase, on the disk held as for an overwrite.
bool DiskSanitizeRun(RunContext& context, const Target& target) {
  if (!target.isDisk) {
    context.Refused();
    context.Log(std::string(kSanitizeBoxText) + " erases a whole disk: choose the disk on the \"Wipe disk\" page.");
    return false;
  }
  HeldDisk held(target.diskNumber);
  if (!held.Take(context, target, true)) return false;
  return SanitizeHeldDisk(context, target, held.disk(), [&held] { held.Release(); });
}

}  // namespace

bool WipeRun(RunContext& context, const Target& target, const BreakpointValues* resumePoint, int methodId) {
  context.ClearCancel();
  // No record names a sanitize: a resumed run never gets here with it.
  if (methodId == kSanitizeMethodId && resumePoint == nullptr) return DiskSanitizeRun(context, target);
  const WipeMethod* method = MethodOfRun(context, methodId);
  if (method == nullptr) return false;
  BlockBuffer buffer = AllocateBlockBuffer();
  if (!buffer) {
    context.Log("Apply memory error!");
    return false;
  }
  if (target.isDisk) return DiskRun(context, target, resumePoint, *method, &buffer);
  return VolumeRun(context, target, resumePoint, *method, &buffer);
}
