#pragma once
// What the console program prints, as pure functions of values: a target's progress line, the
// JSON Lines events, the device list. Where and how often they are printed is the front end's.

#include <cstdint>
#include <string>
#include <vector>

#include "report/machine_readable.h"

namespace cli {

// A target's progress as the run shows it (the progress window's caption, bar and values).
struct ProgressState {
  std::string target;   // "E:", "disk1"
  std::string caption;  // " Wiping drive E: with ..., performing overwrite 2 of 3"
  int percent = 0;
  std::string speed;     // "12.3 MB/S"
  std::string timeLeft;  // "0h1m2s"
};

// The pass a caption names ("overwrite 2 of 3"); false when it names none (verifying, formatting).
bool PassOfCaption(const std::string& caption, int* pass, int* passes);
// "E:      pass 2 of 3   45%   12.3 MB/S   0h1m2s left", or "E:      verifying   45%" while
// the run reads back, "E:      formatting" while it formats.
std::string ProgressLine(const ProgressState& state);
// "disk1 2/3 45%", "E: verify 45%": a target's part of the one line that shows several.
std::string ShortProgress(const ProgressState& state);

// One JSON Lines event (no line end): {"event":"...","target":"...", ...}.
std::string StartEvent(const std::string& target, int methodId, bool resume);
std::string ProgressEvent(const ProgressState& state);
std::string PassEndEvent(const std::string& target, int pass, int passes);
std::string VerificationEvent(const std::string& target, const VerificationFacts& verification);
std::string LogEvent(const std::string& target, const std::string& line);
std::string ResultEvent(const std::string& target, const SummaryEntry& entry);
// The same for a person: "disk1: completed; verification ...; report ...".
std::string ResultLine(const std::string& target, const SummaryEntry& entry);
// The last object: every target's outcome, the exit code and the summary files (empty: none).
std::string SummaryEvent(const std::vector<std::string>& targets, const std::vector<SummaryEntry>& entries,
                         int exitCode, const std::string& summaryFile, const std::string& csvFile);

// A row of the list: a volume or a disk as the windows list it.
struct ListRow {
  bool isDisk = false;
  std::string name;        // "E:" or "disk1"
  std::uint64_t sizeBytes = 0;
  std::string sizeText;
  std::string fileSystem;  // volumes
  std::string label;       // volumes; a disk's volumes ("E:\ [Data]")
  std::int32_t diskNumber = -1;  // a volume's disk; -1 unknown
  std::string model;
  std::string serial;
  std::string bus;
  std::string solidState;  // "yes", "no" or ""
  bool system = false;     // holds the running Windows: refused
  bool resumable = false;  // an interrupted wipe left its record
};
std::string ListText(const std::vector<ListRow>& rows);
std::string ListJson(const std::vector<ListRow>& rows);  // one object, a line end

}  // namespace cli
