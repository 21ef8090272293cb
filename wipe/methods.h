#pragma once
// Glossary. Method: one of the five WipeMethods, an ordered list of passes. Pass: one fill
// pattern written over the whole target. Block: 1 MiB, the unit of every write. Tail: the
// bytes after the last whole block. Run: one method applied to one target (DriveWipeRun,
// DiskWipeRun). Record: the BreakpointInfo a run keeps at byte 0 of its target.

#include <cstdint>
#include <string>

inline constexpr std::uint32_t kBlockSize = 1048576;
inline constexpr int kMethodCount = 5;

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
