#pragma once
// What one run did: the one result a run produces, filled as far as the run got. The pass
// loop writes its part, the end of the run its part, and the front end reads it for the log
// window, the erasure report or a console summary.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "wipe/methods.h"

enum class RunOutcome { Cancelled, Failed, Succeeded };

// One pass as it went, for the erasure report.
struct PassFacts {
  int pass = 0;                    // index from 0
  std::uint32_t firstBlock = 0;    // where it began: 0, or the block a resumed pass went on at
  std::uint64_t bytesWritten = 0;  // bytes handed to the device, failed writes included
  std::uint32_t milliseconds = 0;  // from its first block to its tail, the pause left out
  std::uint32_t endBlock = 0;      // the first block it did not write: N when it reached its tail
  bool completed = false;
};

// What the last pass of a run wrote, enough to write and compare it again.
struct LastPassContent {
  int pass = -1;  // -1: the run wrote no last pass (cancelled or failed before it)
  PatternKind kind = PatternKind::Fixed;
  std::uint8_t byte = 0;           // fixed, drawn and complement passes: every byte of the pass
  std::uint32_t firstBlock = 0;    // where this run began the pass; earlier blocks were written
                                   // before an interruption
  std::vector<std::uint32_t> seeds;  // random data: the seed of the first content and of every
                                     // refresh, in order
  bool recordRemoved = false;      // the record's sector now holds the second sector's content
};

// Of a resumed run: what vouches for the blocks below the block it went on at, which the run
// it resumed wrote (and whose failures only that run's report knows).
enum class EarlierBlocks {
  None,           // a fresh run, or one resumed at block 0
  Overwritten,    // a later pass of this run overwrote them again
  ReadBackRight,  // the verification read them back as the last pass wrote them
  NotReadBack,    // nothing of this run read them back
};

// How a check of what the last pass wrote went; filled by the verification after the passes.
struct VerificationFacts {
  std::string method = "none";
  std::string result = "not performed";
};

// A run of the disk's own sanitize instead of an overwrite: what the disk was told to do, and
// whether the samples read before and after showed it done. The sanitize run fills it.
struct SanitizeFacts {
  bool tried = false;  // the command went to the disk
  bool sent = false;   // the disk took the command: the run was a sanitize, not an overwrite
  platform::SanitizeAction action = platform::SanitizeAction::CryptoErase;
  bool verified = false;    // no sample holds its former content
  std::uint32_t error = 0;  // the system's error code when the disk did not take it
  bool finished = false;    // the disk reported the sanitize done
  // The samples read before and after, when they were: how many, how many held one value
  // before (they cannot show a change), how many still hold their former content.
  std::uint64_t samples = 0;
  std::uint64_t sampledBytes = 0;
  std::uint64_t constantSamples = 0;
  std::uint64_t unchangedSamples = 0;
};

struct RunResult {
  bool startedWriting = false;  // the target was secured and the first pass began
  platform::LocalTime started;
  platform::LocalTime ended;        // after the verification and the format that followed
  platform::LocalTime passesEnded;  // when the last pass stopped or finished
  bool resumed = false;
  int firstPass = 0;            // of a resumed run: the pass and block it went on at
  std::uint32_t startBlock = 0;
  EarlierBlocks earlierBlocks = EarlierBlocks::None;
  std::vector<std::string> diskVolumes;  // of a disk run: the lettered volumes it held ("E:")
  std::string recordFileSystem;  // of a resumed volume run: the file system its record carried
  std::uint64_t bytesPerPass = 0;
  RunOutcome outcome = RunOutcome::Failed;
  std::string failureReason;    // why a failed run stopped
  std::vector<PassFacts> passes;
  std::uint64_t unwrittenBytes = 0;  // bytes some pass could not write (skipped blocks, short tails)
  std::vector<std::uint32_t> unwrittenBlocks;  // ascending, each once
  // What the verification still found wrong after the second write (the tail as block N).
  std::uint64_t wrongBytes = 0;
  std::vector<std::uint32_t> wrongBlocks;
  LastPassContent lastPass;
  bool formatAsked = false;  // "Format the drive when finished" was ticked at the end
  bool formatted = false;
  std::string formattedWith;  // the volume's file system after the format; empty: none
  VerificationFacts verification;
  SanitizeFacts sanitize;
  std::vector<std::string> logLines;  // what the run logged, time stamps included
};

// A run whose passes succeeded but whose end failed says failed, and why.
inline constexpr const char* kRecordNotRemoved = "the breakpoint record could not be removed";
void NoteRunFailed(const std::string& reason, RunResult* result);
