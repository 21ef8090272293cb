// Reading a machine description (JSON, docs/simulated-machine.md). Every mistake gives one line
// naming the field; the library's exceptions are caught here and never leave the function.
#include <algorithm>
#include <cctype>
#include <exception>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>

#include "platform/sim/state.h"

namespace sim::detail {
namespace {

using Json = nlohmann::json;

struct Problem {
  std::string message;
};

bool Fail(Problem* problem, const std::string& where, const std::string& what) {
  problem->message = where + ": " + what;
  return false;
}

bool OnlyKnownFields(const Json& object, const std::string& where,
                     std::initializer_list<const char*> known, Problem* problem) {
  for (auto item = object.begin(); item != object.end(); ++item) {
    bool found = false;
    for (const char* name : known) found = found || item.key() == name;
    if (!found) return Fail(problem, where, "unknown field \"" + item.key() + "\"");
  }
  return true;
}

std::string Field(const std::string& where, const char* name) {
  return where.empty() ? std::string(name) : where + "." + name;
}

bool ReadBool(const Json& object, const std::string& where, const char* name, bool* out,
              Problem* problem) {
  if (!object.contains(name)) return true;
  const Json& value = object.at(name);
  if (!value.is_boolean()) return Fail(problem, Field(where, name), "expected true or false");
  *out = value.get<bool>();
  return true;
}

bool ReadString(const Json& object, const std::string& where, const char* name, std::string* out,
                Problem* problem) {
  if (!object.contains(name)) return true;
  const Json& value = object.at(name);
  if (!value.is_string()) return Fail(problem, Field(where, name), "expected a text in quotes");
  *out = value.get<std::string>();
  return true;
}

bool ReadWhole(const Json& value, const std::string& field, long long min, long long max,
               long long* out, Problem* problem) {
  const std::string range = "expected a whole number from " + std::to_string(min) + " to " +
                            std::to_string(max);
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(max)) return Fail(problem, field, range);
    *out = static_cast<long long>(number);
    return true;
  }
  if (!value.is_number_integer()) return Fail(problem, field, range);
  *out = value.get<long long>();
  if (*out < min || *out > max) return Fail(problem, field, range);
  return true;
}

template <typename T>
bool ReadNumber(const Json& object, const std::string& where, const char* name, long long min,
                long long max, T* out, Problem* problem) {
  if (!object.contains(name)) return true;
  long long number = 0;
  if (!ReadWhole(object.at(name), Field(where, name), min, max, &number, problem)) return false;
  *out = static_cast<T>(number);
  return true;
}

// Byte counts: a whole number, or a text like "256 MiB" (KiB, MiB, GiB, TiB; blank optional).
bool ReadBytes(const Json& object, const std::string& where, const char* name, std::uint64_t* out,
               Problem* problem) {
  if (!object.contains(name)) return true;
  const Json& value = object.at(name);
  const std::string field = Field(where, name);
  const std::string expected = "expected a byte count: a whole number or a text like \"256 MiB\"";
  if (value.is_number_unsigned()) {
    *out = value.get<std::uint64_t>();
    return true;
  }
  if (!value.is_string()) return Fail(problem, field, expected);
  const std::string text = value.get<std::string>();
  std::size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  std::string unit = text.substr(digits);
  if (!unit.empty() && unit[0] == ' ') unit.erase(0, 1);
  std::uint64_t scale = 0;
  if (unit == "KiB") scale = 1ULL << 10;
  if (unit == "MiB") scale = 1ULL << 20;
  if (unit == "GiB") scale = 1ULL << 30;
  if (unit == "TiB") scale = 1ULL << 40;
  if (digits == 0 || digits > 12 || scale == 0) return Fail(problem, field, expected);
  const std::uint64_t count = std::stoull(text.substr(0, digits));
  if (count > std::numeric_limits<std::uint64_t>::max() / scale) {
    return Fail(problem, field, "too large");
  }
  *out = count * scale;
  return true;
}

bool ReadDriveType(const Json& object, const std::string& where, std::uint32_t* out,
                   Problem* problem) {
  static const char* const kNames[] = {"unknown", "noRootDir", "removable", "fixed",
                                       "remote",  "cdrom",     "ramdisk"};
  if (!object.contains("driveType")) return true;
  const Json& value = object.at("driveType");
  if (value.is_string()) {
    for (std::uint32_t type = 0; type < 7; ++type) {
      if (value.get<std::string>() == kNames[type]) {
        *out = type;
        return true;
      }
    }
    return Fail(problem, Field(where, "driveType"),
                "expected unknown, noRootDir, removable, fixed, remote, cdrom, ramdisk or 0 to 6");
  }
  return ReadNumber(object, where, "driveType", 0, 6, out, problem);
}

bool ReadLock(const Json& object, const std::string& where, LockBehaviour* out, Problem* problem) {
  if (!object.contains("lock")) return true;
  const Json& value = object.at("lock");
  const std::string text = value.is_string() ? value.get<std::string>() : std::string();
  if (text == "locks") {
    *out = LockBehaviour::Locks;
  } else if (text == "dismountsOnly") {
    *out = LockBehaviour::DismountsOnly;
  } else if (text == "refuses") {
    *out = LockBehaviour::Refuses;
  } else {
    return Fail(problem, Field(where, "lock"), "expected \"locks\", \"dismountsOnly\" or \"refuses\"");
  }
  return true;
}

bool ReadLetter(const Json& object, const std::string& where, char* out, Problem* problem) {
  if (!object.contains("letter")) return Fail(problem, Field(where, "letter"), "missing");
  const Json& value = object.at("letter");
  std::string text = value.is_string() ? value.get<std::string>() : std::string();
  if (text.size() == 2 && text[1] == ':') text.erase(1);
  if (text.size() != 1 || !std::isalpha(static_cast<unsigned char>(text[0]))) {
    return Fail(problem, Field(where, "letter"), "expected one drive letter such as \"E\"");
  }
  *out = UpperLetter(text[0]);
  return true;
}

bool ReadBus(const Json& object, const std::string& where, std::string* out, Problem* problem) {
  if (!ReadString(object, where, "bus", out, problem)) return false;
  if (out->empty() || platform::BusTypeCode(*out) != 0) return true;
  return Fail(problem, Field(where, "bus"),
              "expected a bus such as \"SATA\", \"NVMe\", \"USB\", \"SAS\", \"SCSI\" or \"Virtual\"");
}

// Left out: the disk does not answer the seek-penalty query.
bool ReadSolidState(const Json& object, const std::string& where, platform::DeviceAnswer* out,
                    Problem* problem) {
  bool solidState = false;
  if (!object.contains("solidState")) return true;
  if (!ReadBool(object, where, "solidState", &solidState, problem)) return false;
  *out = solidState ? platform::DeviceAnswer::Yes : platform::DeviceAnswer::No;
  return true;
}

// "lies": [first, count] in blocks of 1 MiB; "lieStores": "nothing" or "other";
// "lieHealsAfter": the writes to each block that lie before it stores what it gets.
bool ReadLies(const Json& object, const std::string& where, Disk* disk, Problem* problem) {
  if (object.contains("lies")) {
    const Json& value = object.at("lies");
    const std::string field = Field(where, "lies");
    if (!value.is_array() || value.size() != 2) {
      return Fail(problem, field, "expected [first block, block count]");
    }
    long long first = 0;
    long long count = 0;
    constexpr long long kMaxBlocks = 1LL << 40;
    if (!ReadWhole(value[0], field + "[0]", 0, kMaxBlocks, &first, problem) ||
        !ReadWhole(value[1], field + "[1]", 0, kMaxBlocks, &count, problem)) {
      return false;
    }
    disk->lieFirst = static_cast<std::uint64_t>(first);
    disk->lieCount = static_cast<std::uint64_t>(count);
  }
  if (object.contains("lieStores")) {
    const Json& value = object.at("lieStores");
    const std::string text = value.is_string() ? value.get<std::string>() : std::string();
    if (text != "nothing" && text != "other") {
      return Fail(problem, Field(where, "lieStores"), "expected \"nothing\" or \"other\"");
    }
    disk->lieStoresOther = text == "other";
  }
  return ReadNumber(object, where, "lieHealsAfter", 0, 1000000, &disk->lieHealsAfter, problem);
}

// "sanitize": the actions the disk's own erase offers, each named once.
bool ReadSanitize(const Json& object, const std::string& where, Disk* disk, Problem* problem) {
  if (object.contains("sanitize")) {
    const Json& value = object.at("sanitize");
    const std::string field = Field(where, "sanitize");
    const char* expected = "expected a list of \"crypto\", \"block\" and \"overwrite\", each at most once";
    if (!value.is_array()) return Fail(problem, field, expected);
    disk->sanitize.clear();
    for (const Json& item : value) {
      const std::string name = item.is_string() ? item.get<std::string>() : std::string();
      if ((name != "crypto" && name != "block" && name != "overwrite") ||
          std::find(disk->sanitize.begin(), disk->sanitize.end(), name) != disk->sanitize.end()) {
        return Fail(problem, field, expected);
      }
      disk->sanitize.push_back(name);
    }
  }
  return ReadNumber(object, where, "sanitizeSeconds", 0, 86400, &disk->sanitizeSeconds, problem) &&
         ReadBool(object, where, "sanitizeLog", &disk->sanitizeLog, problem) &&
         ReadNumber(object, where, "sanitizeError", 0, 65535, &disk->sanitizeError, problem) &&
         ReadNumber(object, where, "hiddenSectors", 0, 1LL << 40, &disk->hiddenSectors, problem) &&
         ReadBool(object, where, "securityFrozen", &disk->securityFrozen, problem);
}

bool ReadDisk(const Json& value, const std::string& where, Disk* disk, Problem* problem) {
  if (!value.is_object()) return Fail(problem, where, "expected an object { ... }");
  if (!OnlyKnownFields(value, where,
                       {"number", "size", "image", "openable", "geometryFails",
                        "geometryExFails", "bytesPerSector", "writeCache", "cacheSeed",
                        "model", "serial", "bus", "solidState", "lies", "lieStores", "lieHealsAfter",
                        "sanitize", "sanitizeSeconds", "sanitizeLog", "sanitizeError", "hiddenSectors",
                        "securityFrozen"},
                       problem)) {
    return false;
  }
  if (!value.contains("number")) return Fail(problem, Field(where, "number"), "missing");
  if (!value.contains("size")) return Fail(problem, Field(where, "size"), "missing");
  return ReadNumber(value, where, "number", 0, 99, &disk->number, problem) &&
         ReadBytes(value, where, "size", &disk->size, problem) &&
         ReadString(value, where, "image", &disk->image, problem) &&
         ReadBool(value, where, "openable", &disk->openable, problem) &&
         ReadBool(value, where, "geometryFails", &disk->geometryFails, problem) &&
         ReadBool(value, where, "geometryExFails", &disk->geometryExFails, problem) &&
         ReadNumber(value, where, "bytesPerSector", 512, 4096, &disk->bytesPerSector, problem) &&
         ReadBytes(value, where, "writeCache", &disk->writeCache, problem) &&
         ReadNumber(value, where, "cacheSeed", 0, 4294967295LL, &disk->cacheSeed, problem) &&
         ReadString(value, where, "model", &disk->model, problem) &&
         ReadString(value, where, "serial", &disk->serial, problem) &&
         ReadBus(value, where, &disk->bus, problem) && ReadSolidState(value, where, &disk->solidState, problem) &&
         ReadLies(value, where, disk, problem) && ReadSanitize(value, where, disk, problem);
}

bool ReadVolume(const Json& value, const std::string& where, Volume* volume, Problem* problem) {
  if (!value.is_object()) return Fail(problem, where, "expected an object { ... }");
  if (!OnlyKnownFields(value, where,
                       {"letter", "driveType", "disk", "offset", "length", "hasMedium",
                        "extentsFail", "secondDisk", "lock", "openable", "fileSystem", "label",
                        "fileSystemSize", "volumeSerial"},
                       problem)) {
    return false;
  }
  return ReadLetter(value, where, &volume->letter, problem) &&
         ReadDriveType(value, where, &volume->driveType, problem) &&
         ReadNumber(value, where, "disk", -1, 99, &volume->disk, problem) &&
         ReadBytes(value, where, "offset", &volume->offset, problem) &&
         ReadBytes(value, where, "length", &volume->length, problem) &&
         ReadBool(value, where, "hasMedium", &volume->hasMedium, problem) &&
         ReadBool(value, where, "extentsFail", &volume->extentsFail, problem) &&
         ReadNumber(value, where, "secondDisk", -1, 99, &volume->secondDisk, problem) &&
         ReadLock(value, where, &volume->lock, problem) &&
         ReadBool(value, where, "openable", &volume->openable, problem) &&
         ReadString(value, where, "fileSystem", &volume->fileSystem, problem) &&
         ReadString(value, where, "label", &volume->label, problem) &&
         ReadBytes(value, where, "fileSystemSize", &volume->fileSystemSize, problem) &&
         ReadNumber(value, where, "volumeSerial", 0, 4294967295LL, &volume->volumeSerial, problem);
}

template <typename T, typename ReadOne>
bool ReadList(const Json& root, const char* name, std::vector<T>* out, ReadOne readOne,
              Problem* problem) {
  if (!root.contains(name)) return true;
  const Json& list = root.at(name);
  if (!list.is_array()) return Fail(problem, name, "expected a list [ ... ]");
  out->clear();
  for (std::size_t i = 0; i < list.size(); ++i) {
    T item;
    if (!readOne(list[i], std::string(name) + "[" + std::to_string(i) + "]", &item, problem)) {
      return false;
    }
    out->push_back(item);
  }
  return true;
}

bool ReadMachine(const Json& root, Machine* machine, Problem* problem) {
  if (!root.is_object()) return Fail(problem, "machine", "expected an object { ... }");
  const std::string top;
  constexpr long long kUint32Max = 4294967295LL;
  constexpr long long kIntMax = 2147483647LL;
  return OnlyKnownFields(root, "machine",
                         {"platformId", "windowsDirectory", "executablePath", "hostFolder",
                          "realClock", "performanceCounter", "sectorLibrary", "formatCommand",
                          "formatPolls", "formatDialogResult", "writeDelayMs", "readDelayMs",
                          "fileSystemBounds",
                          "computerName", "userName", "windowsVersion", "disks", "volumes"},
                         problem) &&
         ReadNumber(root, top, "platformId", 0, kUint32Max, &machine->platformId, problem) &&
         ReadString(root, top, "windowsDirectory", &machine->windowsDirectory, problem) &&
         ReadString(root, top, "executablePath", &machine->executablePath, problem) &&
         ReadString(root, top, "hostFolder", &machine->hostFolder, problem) &&
         ReadBool(root, top, "realClock", &machine->realClock, problem) &&
         ReadBool(root, top, "performanceCounter", &machine->performanceCounter, problem) &&
         ReadBool(root, top, "sectorLibrary", &machine->sectorLibrary, problem) &&
         ReadBool(root, top, "formatCommand", &machine->formatCommand, problem) &&
         ReadNumber(root, top, "formatPolls", -1, 3600, &machine->formatPolls, problem) &&
         ReadNumber(root, top, "formatDialogResult", -kIntMax - 1, kIntMax,
                    &machine->formatDialogResult, problem) &&
         ReadNumber(root, top, "writeDelayMs", 0, 60000, &machine->writeDelayMs, problem) &&
         ReadBool(root, top, "fileSystemBounds", &machine->fileSystemBounds, problem) &&
         ReadString(root, top, "computerName", &machine->computerName, problem) &&
         ReadString(root, top, "userName", &machine->userName, problem) &&
         ReadString(root, top, "windowsVersion", &machine->windowsVersion, problem) &&
         ReadNumber(root, top, "readDelayMs", 0, 60000, &machine->readDelayMs, problem) &&
         ReadList(root, "disks", &machine->disks, ReadDisk, problem) &&
         ReadList(root, "volumes", &machine->volumes, ReadVolume, problem);
}

// nlohmann's messages start with "[json.exception.parse_error.101] "; the rest is for people.
std::string WithoutExceptionTag(const std::string& message) {
  const std::size_t tag = message.find("] ");
  std::string text = message.rfind("[json.exception.", 0) == 0 && tag != std::string::npos
                         ? message.substr(tag + 2)
                         : message;
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

}  // namespace
}  // namespace sim::detail

namespace sim {

bool ParseDescription(const std::string& json, Machine* machine, std::string* error) {
  using namespace detail;
  Problem problem;
  Machine parsed;
  try {
    const Json root = Json::parse(json);
    if (!ReadMachine(root, &parsed, &problem)) {
      if (error != nullptr) *error = problem.message;
      return false;
    }
  } catch (const std::exception& caught) {
    if (error != nullptr) *error = "not valid JSON: " + WithoutExceptionTag(caught.what());
    return false;
  }
  std::string rule;
  if (!CheckMachine(parsed, &rule)) {
    if (error != nullptr) *error = rule;
    return false;
  }
  if (machine != nullptr) *machine = std::move(parsed);
  return true;
}

}  // namespace sim
