// The console program's command line: commands, options in either form ("--opt value",
// "--opt=value"), option names in any case, and targets named as a person would.
#include "cli/arguments.h"

#include <cctype>
#include <cstdio>

namespace cli {

namespace {

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A small decimal number; false for anything else (signs, blanks, more than 4 digits).
bool SmallNumber(const std::string& text, int* value) {
  if (!AllDigits(text) || text.size() > 4) return false;
  *value = std::stoi(text);
  return true;
}

bool Printable(const std::string& text) {
  for (char c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

// Short names of the methods, in box order.
const char* const kMethodNames[] = {"standard", "dod", "dod-ece", "army", "gost", "sanitize"};
// The box texts, kept here so the parser stands alone (the method table is the core's).
const char* const kMethodBoxTexts[] = {
    "Standard overwrite (overwrite with zeros) (1 pass)",
    "US Dept. of Defense DoD 5220.22-M (E) (3 passes)",
    "US Dept. of Defense DoD 5220.22-M(ECE) (7 passes)",
    "US Army AR380-19  (3 passes)",
    "Russian GOST P50739-95 (2 passes)",
    "Device sanitize",
};
constexpr int kMethods = 6;

enum class Option { Method, NoVerify, Format, ReportDir, Field, Shutdown, Yes, Json, Parallel, Help };

struct OptionDefinition {
  const char* name;   // lower case, with its dashes
  const char* alias;  // a short form, or nullptr
  Option option;
  bool takesValue;
};

const OptionDefinition kOptions[] = {
    {"--method", "-m", Option::Method, true},
    {"--no-verify", nullptr, Option::NoVerify, false},
    {"--format", nullptr, Option::Format, false},
    {"--report-dir", nullptr, Option::ReportDir, true},
    {"--field", nullptr, Option::Field, true},
    {"--shutdown", nullptr, Option::Shutdown, false},
    {"--yes", "-y", Option::Yes, false},
    {"--json", nullptr, Option::Json, false},
    {"--parallel", "-j", Option::Parallel, true},
    {"--help", "-h", Option::Help, false},
};

const OptionDefinition* FindOption(const std::string& name) {
  const std::string lower = Lower(name);
  if (lower == "/?" || lower == "-?") return &kOptions[9];
  for (const OptionDefinition& definition : kOptions) {
    if (lower == definition.name || (definition.alias != nullptr && lower == definition.alias)) return &definition;
  }
  return nullptr;
}

bool Fail(std::string* error, const std::string& message) {
  *error = message;
  return false;
}

// "E:", "e:" or "E:\" for a volume; "disk1" (any case) for a disk; "serial=S123" for a disk
// by its serial.
bool ReadTarget(const std::string& text, TargetName* target, std::string* error) {
  target->text = text;
  const std::string lower = Lower(text);
  const bool letter = !text.empty() && std::isalpha(static_cast<unsigned char>(text[0])) && text[0] > 0;
  if (letter && (text.size() == 2 || (text.size() == 3 && text[2] == '\\')) && text[1] == ':') {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    if (upper < 'C' || upper > 'Z') {
      return Fail(error, "Drive " + Quoted(text) + " cannot be wiped: volumes are C: to Z:.");
    }
    target->kind = TargetKind::Volume;
    target->letter = upper;
    return true;
  }
  if (letter && text.size() == 1) {
    return Fail(error, "A drive letter needs its colon: " + std::string(1, text[0]) + ":");
  }
  if (lower.rfind("disk", 0) == 0 && lower.size() > 4) {
    int number = 0;
    if (!SmallNumber(lower.substr(4), &number) || number > 99) {
      return Fail(error, "Unknown disk " + Quoted(text) + ": disks are disk0 to disk99.");
    }
    target->kind = TargetKind::Disk;
    target->diskNumber = number;
    return true;
  }
  if (lower.rfind("serial=", 0) == 0) {
    const std::string serial = text.substr(7);
    if (serial.empty() || !Printable(serial) || serial.size() > 100) {
      return Fail(error, "Serial " + Quoted(serial) + " is no serial a disk reports.");
    }
    target->kind = TargetKind::Serial;
    target->serial = serial;
    return true;
  }
  return Fail(error, "Unknown target " + Quoted(text) + ": name a volume (E:), a disk (disk1) or a serial (serial=...).");
}

bool ReadField(const std::string& value, Arguments* arguments, std::string* error) {
  const std::size_t equals = value.find('=');
  if (equals == std::string::npos || equals == 0) {
    return Fail(error, "--field needs NAME=VALUE, not " + Quoted(value) + ".");
  }
  const std::string name = value.substr(0, equals);
  const std::string text = value.substr(equals + 1);
  if (!Printable(name) || !Printable(text) || name.size() > kLongestField || text.size() > kLongestField) {
    return Fail(error, "--field " + Quoted(value) + ": a name and value of printable characters, at most " +
                           std::to_string(kLongestField) + " each.");
  }
  arguments->fields.emplace_back(name, text);
  return true;
}

bool ApplyOption(Option option, const std::string& value, Arguments* arguments, std::string* error) {
  switch (option) {
    case Option::Method: {
      const int method = MethodByName(value);
      if (method < 0) {
        return Fail(error, "Unknown method " + Quoted(value) +
                                ": give 0 to 5 or standard, dod, dod-ece, army, gost, sanitize.");
      }
      arguments->method = method;
      arguments->methodGiven = true;
      return true;
    }
    case Option::NoVerify: arguments->verify = false; return true;
    case Option::Format: arguments->format = true; return true;
    case Option::ReportDir:
      if (value.empty()) return Fail(error, "--report-dir needs a folder.");
      arguments->reportDir = value;
      return true;
    case Option::Field: return ReadField(value, arguments, error);
    case Option::Shutdown: arguments->shutdown = true; return true;
    case Option::Yes: arguments->yes = true; return true;
    case Option::Json: arguments->json = true; return true;
    case Option::Parallel: {
      int count = 0;
      if (!SmallNumber(value, &count) || count < 1 || count > kMostParallel) {
        return Fail(error, "--parallel takes 1 to " + std::to_string(kMostParallel) + ", not " + Quoted(value) + ".");
      }
      arguments->parallel = count;
      return true;
    }
    case Option::Help: arguments->command = Command::Help; return true;
  }
  return true;
}

bool ReadCommand(const std::string& word, Command* command) {
  const std::string lower = Lower(word);
  if (lower == "list") *command = Command::List;
  else if (lower == "wipe") *command = Command::Wipe;
  else if (lower == "resume") *command = Command::Resume;
  else return false;
  return true;
}

// What list takes, and what resume cannot change.
bool CheckOptionsFit(const Arguments& arguments, const std::vector<Option>& given, std::string* error) {
  for (Option option : given) {
    if (arguments.command == Command::List && option != Option::Json) {
      return Fail(error, "list takes only --json.");
    }
    if (arguments.command == Command::Resume && option == Option::Method) {
      return Fail(error, "resume continues with the method of each target's record: --method does not apply.");
    }
  }
  if (arguments.command == Command::List && !arguments.targets.empty()) {
    return Fail(error, "list takes no target, but " + Quoted(arguments.targets[0].text) + " was given.");
  }
  if (arguments.command != Command::List && arguments.targets.empty()) {
    return Fail(error, "Name at least one target: a volume (E:), a disk (disk1) or a serial (serial=...).");
  }
  return true;
}

}  // namespace

int MethodByName(const std::string& text) {
  int index = 0;
  if (SmallNumber(text, &index)) return index < kMethods ? index : -1;
  const std::string lower = Lower(text);
  for (int i = 0; i < kMethods; ++i) {
    if (lower == kMethodNames[i] || lower == Lower(kMethodBoxTexts[i])) return i;
  }
  return -1;
}

std::string Quoted(const std::string& argument) {
  std::string shown = "\"";
  std::size_t count = 0;
  for (char c : argument) {
    if (++count > 60) {
      shown += "...";
      break;
    }
    const unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte <= 0x7E) {
      shown += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      shown += hex;
    }
  }
  return shown + "\"";
}

bool ParseArguments(const std::vector<std::string>& args, Arguments* arguments, std::string* error) {
  *arguments = Arguments();
  bool commandSeen = false;
  bool help = false;
  std::vector<Option> given;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool looksLikeOption = !arg.empty() && (arg[0] == '-' || arg[0] == '/');
    if (!looksLikeOption) {
      if (!commandSeen) {
        if (!ReadCommand(arg, &arguments->command)) {
          return Fail(error, "Unknown command " + Quoted(arg) + ": give list, wipe or resume (--help tells more).");
        }
        commandSeen = true;
        continue;
      }
      TargetName target;
      if (!ReadTarget(arg, &target, error)) return false;
      arguments->targets.push_back(target);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const OptionDefinition* definition = FindOption(name);
    if (definition == nullptr) return Fail(error, "Unknown option " + Quoted(name) + " (--help lists them).");
    if (definition->option == Option::Help) {
      help = true;
      continue;
    }
    std::string value;
    if (definition->takesValue) {
      if (equals != std::string::npos) {
        value = arg.substr(equals + 1);
      } else if (i + 1 < args.size()) {
        value = args[++i];
      } else {
        return Fail(error, std::string(definition->name) + " needs a value.");
      }
    } else if (equals != std::string::npos) {
      return Fail(error, std::string(definition->name) + " takes no value.");
    }
    if (definition->option != Option::Field) {
      for (Option earlier : given) {
        if (earlier == definition->option) return Fail(error, std::string(definition->name) + " is given twice.");
      }
    }
    given.push_back(definition->option);
    if (!ApplyOption(definition->option, value, arguments, error)) return false;
  }
  if (help) {
    *arguments = Arguments();
    return true;
  }
  if (!commandSeen) return Fail(error, "Give a command: list, wipe or resume (--help tells more).");
  return CheckOptionsFit(*arguments, given, error);
}

std::string HelpText(const std::string& programName) {
  return "Dunmere permanently erases volumes and disks.\n"
         "\n"
         "  " + programName + " list [--json]\n"
         "  " + programName + " wipe TARGET... [options]\n"
         "  " + programName + " resume TARGET... [options]\n"
         "\n"
         "TARGET is a volume (E:), a disk by number (disk1) or a disk by its serial\n"
         "(serial=S123...). Several targets are erased in one call, all at once, each\n"
         "on its own; one that fails or hangs does not stop the others.\n"
         "\n"
         "Options (names in any case; --opt value or --opt=value):\n"
         "  --method N        0 to 5 or a name (wipe only; default 0):\n"
         "                      0 standard  Standard overwrite (overwrite with zeros) (1 pass)\n"
         "                      1 dod       US Dept. of Defense DoD 5220.22-M (E) (3 passes)\n"
         "                      2 dod-ece   US Dept. of Defense DoD 5220.22-M(ECE) (7 passes)\n"
         "                      3 army      US Army AR380-19  (3 passes)\n"
         "                      4 gost      Russian GOST P50739-95 (2 passes)\n"
         "                      5 sanitize  Device sanitize (a whole NVMe disk erases itself;\n"
         "                                  it cannot be stopped once sent)\n"
         "  --no-verify       do not read the target back after the last pass\n"
         "  --format          format a volume after its wipe\n"
         "  --report-dir DIR  where the reports go (default: Reports beside the program)\n"
         "  --field NAME=VALUE  a line of your own in every report (asset tag, ticket...)\n"
         "  --shutdown        switch the computer off when everything is done\n"
         "  --yes             write without asking (needed when input is not a console)\n"
         "  --json            JSON Lines events and a final summary on standard output\n"
         "  --parallel N      at most N targets at once (1 to 128; default: all)\n"
         "  -h, --help, /?    this text\n"
         "\n"
         "Exit codes:\n"
         "  0  every target erased (and verified where asked)\n"
         "  1  at least one target failed\n"
         "  2  a usage error; nothing was written\n"
         "  3  a target was refused before anything was written\n"
         "  4  cancelled (Ctrl+C); records left, resumable\n";
}

}  // namespace cli
