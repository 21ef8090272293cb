#pragma once
// The console program's command line, read without touching anything: the command, its
// targets as the user named them, and the options. Every argument is untrusted; a bad one gives
// a single message naming it and the usage exit code.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace cli {

// What the program tells its caller (the exit codes --help, the guide and the README list).
enum ExitCode : int {
  kExitErased = 0,     // every target erased (and verified where asked)
  kExitFailed = 1,     // at least one target failed
  kExitUsage = 2,      // the command line was wrong; nothing was written
  kExitRefused = 3,    // a target was refused before anything was written
  kExitCancelled = 4,  // cancelled: records left, resumable
};

enum class Command { Help, List, Wipe, Resume };

enum class TargetKind { Volume, Disk, Serial };

// A target as named: "E:" (a volume), "disk1" (a disk by number), "serial=S123" (a disk by the
// serial it reports).
struct TargetName {
  TargetKind kind = TargetKind::Volume;
  char letter = 0;       // Volume: 'C' to 'Z', upper case
  int diskNumber = -1;   // Disk: 0 to 99
  std::string serial;    // Serial: as given, without "serial="
  std::string text;      // the argument as given, for messages
};

struct Arguments {
  Command command = Command::Help;
  std::vector<TargetName> targets;
  int method = 0;                 // the method box index
  bool methodGiven = false;
  bool verify = true;
  bool format = false;
  std::string reportDir;          // empty: the Reports folder beside the program
  std::vector<std::pair<std::string, std::string>> fields;  // --field NAME=VALUE, in order
  bool shutdown = false;
  bool yes = false;
  bool json = false;
  int parallel = 0;               // 0: every target at once
};

inline constexpr int kMostParallel = 128;
inline constexpr std::size_t kLongestField = 200;

// Reads the arguments after the program's name. False with one line in *error (no line end)
// when they are not a valid call; *arguments is then unspecified.
bool ParseArguments(const std::vector<std::string>& args, Arguments* arguments, std::string* error);

// A method by its box index ("0" to "5") or by name ("gost", or the box text): -1 when none.
int MethodByName(const std::string& text);

// An argument as it may be shown in a message: printable ASCII as it is, any other byte as
// \xNN, cut after 60 characters. A console never gets a control character from a message.
std::string Quoted(const std::string& argument);

// The --help text, naming the program as it was started.
std::string HelpText(const std::string& programName);

}  // namespace cli
