#pragma once
// The two wipe runs. Each returns true when it reached the end of its last pass without being
// cancelled and without more than 10 consecutive failed block writes.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "wipe/engine.h"

// How a check of what the last pass wrote went; filled by the verification after the passes.
struct VerificationFacts {
  std::string method = "none";
  std::string result = "not performed";
};

// What one run did, for the erasure report: filled as far as the run got.
struct RunFacts {
  bool startedWriting = false;  // the target was secured and the first pass began
  platform::LocalTime started;
  platform::LocalTime ended;
  bool resumed = false;
  int firstPass = 0;            // of a resumed run: the pass and block it went on at
  std::uint32_t startBlock = 0;
  std::uint64_t bytesPerPass = 0;
  RunOutcome outcome = RunOutcome::Failed;
  std::string failureReason;
  std::vector<PassFacts> passes;
  std::uint64_t unwrittenBytes = 0;
  std::vector<std::uint32_t> unwrittenBlocks;
  bool formatAsked = false;  // "Format the drive when finished" was ticked at the end
  bool formatted = false;
  VerificationFacts verification;
};

// facts, when given, receives what the run did.
bool DriveWipeRun(const std::string& volumeName, bool resume, int methodId,  // "E:"
                  RunFacts* facts = nullptr);
bool DiskWipeRun(std::int32_t diskNumber, bool resume, int methodId, RunFacts* facts = nullptr);

// WritePasses from the run's start, noting in facts (when given) that writing began, when, and
// what the passes did.
// A run whose passes succeeded but whose end failed: facts (when given) say failed, and why.
inline constexpr const char* kRecordNotRemoved = "the breakpoint record could not be removed";
void NoteRunFailed(const std::string& reason, RunFacts* facts);

RunReport WritePassesOfRun(const WipeMethod& method, const WipeTarget& target, bool resume,
                           std::uint8_t* buffer, RunFacts* facts);
