// The console program's command line: any bytes, cut at NUL into arguments. A call is either
// read into values within their ranges, or refused with one line a console can show.
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "tests/fuzz/fuzz_support.h"
#include "wipe/methods.h"

namespace {

void CheckMessage(const std::string& error) {
  FUZZ_CHECK(!error.empty(), "a refused call without a message");
  FUZZ_CHECK(error.size() < 400, "a message of " + std::to_string(error.size()) + " bytes");
  for (char c : error) {
    FUZZ_CHECK(c >= 0x20 && c <= 0x7E, "a message with a byte a console would not show: " + error);
  }
}

void CheckValues(const cli::Arguments& a) {
  // The five overwrites by index, or the disk's own sanitize after them.
  FUZZ_CHECK(a.method >= 0 && (a.method < kMethodCount || a.method == kSanitizeMethodId),
             "method " + std::to_string(a.method));
  FUZZ_CHECK(a.parallel >= 0 && a.parallel <= cli::kMostParallel, "parallel " + std::to_string(a.parallel));
  if (a.command == cli::Command::Help || a.command == cli::Command::List) {
    FUZZ_CHECK(a.targets.empty(), "targets for help or list");
    return;
  }
  FUZZ_CHECK(!a.targets.empty(), "a wipe or resume without target");
  for (const cli::TargetName& t : a.targets) {
    switch (t.kind) {
      case cli::TargetKind::Volume: FUZZ_CHECK(t.letter >= 'C' && t.letter <= 'Z', "volume " + t.text); break;
      case cli::TargetKind::Disk: FUZZ_CHECK(t.diskNumber >= 0 && t.diskNumber <= 99, "disk " + t.text); break;
      case cli::TargetKind::Serial: FUZZ_CHECK(!t.serial.empty(), "empty serial"); break;
    }
  }
  for (const auto& field : a.fields) {
    FUZZ_CHECK(!field.first.empty() && field.first.size() <= cli::kLongestField &&
                   field.second.size() <= cli::kLongestField,
               "field " + field.first);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args(1);
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      args.back() += static_cast<char>(data[i]);
    }
  }
  if (size == 0) args.clear();
  cli::Arguments arguments;
  std::string error;
  if (cli::ParseArguments(args, &arguments, &error)) {
    FUZZ_CHECK(error.empty(), "a message for a call that was read: " + error);
    CheckValues(arguments);
  } else {
    CheckMessage(error);
  }
  return 0;
}
