// Targets as named on the command line, found in the tables.
#include "cli/targets.h"

#include <set>

#include "devices/disk_identity.h"
#include "devices/inventory.h"
#include "devices/tables.h"
#include "devices/text_field.h"

namespace cli {

namespace {

ResolvedTarget DiskAtRow(int row) {
  ResolvedTarget target;
  target.isDisk = true;
  target.row = row;
  target.diskNumber = DiskTable[row].DiskNumber;
  target.name = "disk" + std::to_string(target.diskNumber);
  return target;
}

bool FindOne(const TargetName& named, ResolvedTarget* target, std::string* error) {
  switch (named.kind) {
    case TargetKind::Volume: {
      const std::string root = std::string(1, named.letter) + ":\\";
      for (int i = 0; i < DriveCount; ++i) {
        if (FieldText(DriveTable[i].RootPath) != root) continue;
        target->isDisk = false;
        target->row = i;
        target->rootPath = root;
        target->volumeName = VolumeName(root);
        target->diskNumber = DriveTable[i].DiskNumber == kUnknownDisk ? -1 : DriveTable[i].DiskNumber;
        target->name = target->volumeName;
        return true;
      }
      *error = "There is no volume " + std::string(1, named.letter) + ": to wipe (list shows them).";
      return false;
    }
    case TargetKind::Disk:
      for (int i = 0; i < DiskCount; ++i) {
        if (DiskTable[i].DiskNumber == named.diskNumber) {
          *target = DiskAtRow(i);
          return true;
        }
      }
      *error = "There is no disk " + std::to_string(named.diskNumber) + " (list shows them).";
      return false;
    case TargetKind::Serial: {
      int found = -1;
      for (int i = 0; i < DiskCount; ++i) {
        if (!SameTextIgnoringCase(DiskIdentities[i].serial, named.serial)) continue;
        if (found >= 0) {
          *error = "Serial " + Quoted(named.serial) + " is reported by more than one disk: name the disk by its number.";
          return false;
        }
        found = i;
      }
      if (found < 0) {
        *error = "No disk reports the serial " + Quoted(named.serial) + " (list shows them).";
        return false;
      }
      *target = DiskAtRow(found);
      return true;
    }
  }
  return false;
}

}  // namespace

bool ResolveTargets(const std::vector<TargetName>& names, std::vector<ResolvedTarget>* targets, std::string* error) {
  targets->clear();
  std::set<std::int32_t> disks;       // named whole
  std::set<std::int32_t> volumeDisks; // holding a named volume
  std::set<std::string> volumes;
  for (const TargetName& named : names) {
    ResolvedTarget target;
    if (!FindOne(named, &target, error)) return false;
    const std::string twice = Quoted(named.text) + " names a device already named: name each device once.";
    if (target.isDisk) {
      if (!disks.insert(target.diskNumber).second) return (*error = twice, false);
      if (volumeDisks.count(target.diskNumber) != 0) {
        *error = Quoted(named.text) + " is the disk of a volume already named: wipe the disk or its volumes.";
        return false;
      }
    } else {
      if (!volumes.insert(target.volumeName).second) return (*error = twice, false);
      if (target.diskNumber >= 0 && disks.count(target.diskNumber) != 0) {
        *error = Quoted(named.text) + " lies on a disk already named: wipe the disk or its volumes.";
        return false;
      }
      if (target.diskNumber >= 0) volumeDisks.insert(target.diskNumber);
    }
    targets->push_back(target);
  }
  return true;
}

}  // namespace cli
