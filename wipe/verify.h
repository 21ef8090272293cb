#pragma once
// Verification: after the last pass of a successful run the target is read back block by
// block and compared with what that pass wrote. Blocks that differ or cannot be read are
// written once more and read again; what still fails makes the run fail, with the record left
// on the device so that the run can be resumed from the first failed block.

#include <cstdint>
#include <string>
#include <vector>

#include "wipe/engine.h"
#include "wipe/methods.h"
#include "wipe/run_result.h"

enum class VerifyOutcome { NotRun, Verified, Cancelled, Failed };

// The verification's result, for the log and the erasure report.
struct Verification {
  VerifyOutcome outcome = VerifyOutcome::NotRun;
  std::uint64_t verifiedBytes = 0;      // read back as written, repaired blocks included
  std::uint64_t unverifiableBytes = 0;  // random data written before an interruption
  std::uint64_t repairedBytes = 0;      // differed first, read back right after a second write
  std::uint64_t failedBytes = 0;        // still differ or cannot be read after the second write
  std::uint32_t firstFailedBlock = 0;   // the tail counts as block N
  std::vector<std::uint32_t> failedBlocks;  // ascending, the tail as block N
  bool repairNotFlushed = false;        // the second writes may not be on the media
  bool recordNotKept = false;           // the record for a resume could not be made durable
};

// Whether "Verify after wipe" asks for a verification of this run's last pass.
bool VerificationWanted(RunContext& context, const LastPassContent& content);

// Reads the target back through its device and compares it with the last pass's content,
// showing progress under the caption ("  Verifying drive E: . . ."), repairs what it can and
// logs the outcome. On failure, with "Wipe resumable" checked, the record goes back on the
// device at the first failed block of the last pass.
Verification VerifyLastPass(const WipeMethod& method, const WipeTarget& target,
                            const LastPassContent& content, const std::string& caption);

// The verification as the erasure report states it; a failed one makes the run failed.
void NoteVerification(const Verification& result, const LastPassContent& content, RunResult* facts);
