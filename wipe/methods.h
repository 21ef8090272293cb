#pragma once
// Glossary. Method: one of the five WipeMethods, an ordered list of passes. Pass: one fill
// pattern written over the whole target. Block: 1 MiB, the unit of every write. Tail: the
// bytes after the last whole block. Run: one method applied to one target (DriveWipeRun,
// DiskWipeRun). Record: the BreakpointInfo a run keeps at byte 0 of its target. Sanitize: the
// method box's last entry, the disk's own erase: no passes, no record.

#include <cstdint>
#include <string>

inline constexpr std::uint32_t kBlockSize = 1048576;
// The overwrite methods: the ids a breakpoint record may hold.
inline constexpr int kMethodCount = 5;
// The disk's own erase follows them in the method box; no record ever names it, since the disk
// carries an interrupted sanitize on by itself.
inline constexpr int kSanitizeMethodId = 5;
inline constexpr int kMethodBoxCount = 6;
inline constexpr const char* kSanitizeBoxText = "Device sanitize";

enum class PatternKind { Fixed, Drawn, Complement, Random };

struct PassPattern {
  PatternKind kind;
  std::uint8_t fixedByte;  // Fixed passes only
};

struct WipeMethod {
  int id;
  const char* boxText;          // the method box entry
  int passCount;
  PassPattern passes[7];
  const char* captionName;      // name in the pass caption
  const char* firstCaptionName; // name in the caption of pass 1 (differs for id 2 only)
};

extern const WipeMethod WipeMethods[kMethodCount];

// " with <name>, performing overwrite <pass + 1> of <passCount>"
std::string PassCaptionSuffix(int methodId, int passIndex);

// The method box's entry of an id (0 to kMethodBoxCount - 1), or nullptr for another id.
const char* MethodBoxText(int methodId);
