// What the target's disk can do to itself and what it hides, as the log tells it before the
// questions and the report records it, and the level of sanitization a run reached.
#include "devices/disk_sanitize.h"
#include "report/erasure_report.h"

namespace {

bool SolidState(const ReportTarget& target) { return target.identity.solidState == platform::DeviceAnswer::Yes; }

// Windows passes no erase command (ATA security or sanitize) to a SATA disk outside WinPE.
bool OnSata(const ReportTarget& target) {
  return target.abilities.ata || target.identity.bus == "SATA" || target.identity.bus == "ATA";
}

std::string DiskName(const ReportTarget& target) { return "disk " + std::to_string(target.diskNumber); }

std::string HiddenAreaWarning(const ReportTarget& target) {
  const std::string disk = "Disk " + std::to_string(target.diskNumber);
  if (target.abilities.hiddenSectors == 0) {
    return disk + " hides sectors behind a host protected area that no overwrite reaches; it would not say how many.";
  }
  const std::uint64_t sectors = target.abilities.hiddenSectors;
  return disk + " hides " + ThousandsGrouped(sectors) + (sectors == 1 ? " sector" : " sectors") +
         " (a host protected area) that no overwrite reaches.";
}

// How a solid-state disk is erased in full: by its own sanitize where Windows can send it.
std::string PurgeLine(const ReportTarget& target) {
  if (CanSanitize(target.abilities)) {
    return "To purge " + DiskName(target) + ", spare cells included, choose \"Device sanitize\"" +
           (target.isDisk ? "" : " on the \"Wipe disk\" page") + ": the disk erases itself.";
  }
  if (OnSata(target)) {
    return "A purge of " + DiskName(target) +
           " needs the disk maker's tool or WinPE: Windows passes no erase command to a SATA disk. This run "
           "will be an overwrite.";
  }
  return std::string();
}


}  // namespace

std::vector<std::string> DiskNotices(const ReportTarget& target) {
  std::vector<std::string> lines;
  const std::string actions = SanitizeActionsText(target.abilities);
  if (!actions.empty()) lines.push_back("Disk " + std::to_string(target.diskNumber) + " can erase itself: " + actions + ".");
  // Said after the solid-state notice, which tells why an overwrite falls short.
  const std::string purge = SolidState(target) ? PurgeLine(target) : std::string();
  if (!purge.empty()) lines.push_back(purge);
  if (target.isDisk && target.abilities.hiddenArea == HiddenArea::Found) lines.push_back(HiddenAreaWarning(target));
  return lines;
}

std::string HiddenAreasText(const ReportTarget& target) {
  if (!target.isDisk) return std::string();
  switch (target.abilities.hiddenArea) {
    case HiddenArea::NoneOnNvme:
      return "none (NVMe)";
    case HiddenArea::None:
      return "none";
    case HiddenArea::Found:
      if (target.abilities.hiddenSectors == 0) return "a host protected area of a size the disk would not say";
      return ThousandsGrouped(target.abilities.hiddenSectors) + " sectors (host protected area)";
    case HiddenArea::NotChecked:
      break;
  }
  return "could not be checked";
}

std::string NistLevelText(const ReportTarget& target, const RunResult& run) {
  if (run.outcome != RunOutcome::Succeeded) return "none: the erasure did not complete";
  if (run.sanitize.sent) {
    const std::string level = "Purge (device sanitize, " + std::string(ActionText(run.sanitize.action)) + ")";
    return run.sanitize.verified ? level : level + "; not verified by sampling";
  }
  std::string level = "Clear (overwrite)";
  if (!target.isDisk) level += " of this volume only";
  if (SolidState(target)) {
    level += "; copies in spare cells are not reached";
  } else if (target.identity.solidState == platform::DeviceAnswer::Unknown) {
    level += "; if the disk is solid-state, copies in spare cells are not reached";
  }
  if (target.isDisk && target.abilities.hiddenArea == HiddenArea::Found) {
    const std::uint64_t sectors = target.abilities.hiddenSectors;
    level += sectors == 0 ? "; its host protected area is not reached"
                          : "; the " + ThousandsGrouped(sectors) + " sectors of its host protected area are not reached";
  }
  return level;
}
