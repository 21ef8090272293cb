// The console program's command line: what each call means, and one clear message for every
// call that means nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/arguments.h"

namespace {

using cli::Arguments;
using cli::Command;
using cli::TargetKind;

Arguments Parsed(const std::vector<std::string>& args) {
  Arguments arguments;
  std::string error;
  EXPECT_TRUE(cli::ParseArguments(args, &arguments, &error)) << error;
  EXPECT_EQ(error, "");
  return arguments;
}

TEST(CliArguments, ReadsCommandsTargetsAndOptions) {
  Arguments a = Parsed({"wipe", "E:", "disk1", "serial=S123 X", "--method", "2", "--No-Verify", "--FORMAT",
                        "--report-dir=C:\\Reports here", "--field", "Asset=A-17", "--field=Ticket=T 9",
                        "--shutdown", "--yes", "--json", "--parallel", "2"});
  EXPECT_EQ(a.command, Command::Wipe);
  ASSERT_EQ(a.targets.size(), 3u);
  EXPECT_EQ(a.targets[0].kind, TargetKind::Volume);
  EXPECT_EQ(a.targets[0].letter, 'E');
  EXPECT_EQ(a.targets[1].kind, TargetKind::Disk);
  EXPECT_EQ(a.targets[1].diskNumber, 1);
  EXPECT_EQ(a.targets[2].kind, TargetKind::Serial);
  EXPECT_EQ(a.targets[2].serial, "S123 X");
  EXPECT_EQ(a.method, 2);
  EXPECT_FALSE(a.verify);
  EXPECT_TRUE(a.format);
  EXPECT_EQ(a.reportDir, "C:\\Reports here");
  const std::vector<std::pair<std::string, std::string>> fields = {{"Asset", "A-17"}, {"Ticket", "T 9"}};
  EXPECT_EQ(a.fields, fields);
  EXPECT_TRUE(a.shutdown && a.yes && a.json);
  EXPECT_EQ(a.parallel, 2);

  Arguments defaults = Parsed({"RESUME", "e:\\", "Disk07"});
  EXPECT_EQ(defaults.command, Command::Resume);
  EXPECT_EQ(defaults.targets[0].letter, 'E');
  EXPECT_EQ(defaults.targets[1].diskNumber, 7);
  EXPECT_TRUE(defaults.verify);
  EXPECT_FALSE(defaults.yes || defaults.json || defaults.format || defaults.shutdown);
  EXPECT_EQ(defaults.parallel, 0);
  EXPECT_EQ(defaults.method, 0);

  EXPECT_EQ(Parsed({"list"}).command, Command::List);
  EXPECT_TRUE(Parsed({"list", "--JSON"}).json);
  EXPECT_EQ(Parsed({"wipe", "E:", "-m", "gost", "-y"}).method, 4);
  EXPECT_EQ(Parsed({"wipe", "E:", "--method=US Army AR380-19  (3 passes)"}).method, 3);
}

TEST(CliArguments, HelpInEveryFormWinsOverTheRest) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"/?"}, {"-H"}, {"wipe", "E:", "--HELP"},
                                             {"list", "/?"}}) {
    EXPECT_EQ(Parsed(args).command, Command::Help) << args.back();
  }
  const std::string help = cli::HelpText("dunmere-cli");
  for (const char* line : {"0  every target erased", "1  at least one target failed", "2  a usage error",
                           "3  a target was refused", "4  cancelled", "--parallel N", "serial="}) {
    EXPECT_NE(help.find(line), std::string::npos) << line;
  }
}

TEST(CliArguments, EveryBadCallGetsOneMessageNamingWhatIsWrong) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{}, "Give a command: list, wipe or resume (--help tells more)."},
      {{"erase", "E:"}, "Unknown command \"erase\": give list, wipe or resume (--help tells more)."},
      {{"wipe"}, "Name at least one target: a volume (E:), a disk (disk1) or a serial (serial=...)."},
      {{"wipe", "E:", "--fast"}, "Unknown option \"--fast\" (--help lists them)."},
      {{"wipe", "E:", "/y"}, "Unknown option \"/y\" (--help lists them)."},
      {{"wipe", "E:", "--method"}, "--method needs a value."},
      {{"wipe", "E:", "--method", "6"}, "Unknown method \"6\": give 0 to 5 or standard, dod, dod-ece, army, gost, sanitize."},
      {{"wipe", "E:", "--method=-1"}, "Unknown method \"-1\": give 0 to 5 or standard, dod, dod-ece, army, gost, sanitize."},
      {{"wipe", "E:", "--method=99999999999999999999"},
       "Unknown method \"99999999999999999999\": give 0 to 5 or standard, dod, dod-ece, army, gost, sanitize."},
      {{"wipe", "E:", "--method", "1", "--METHOD", "1"}, "--method is given twice."},
      {{"wipe", "E:", "--yes", "--yes"}, "--yes is given twice."},
      {{"wipe", "E:", "--yes=no"}, "--yes takes no value."},
      {{"wipe", "E:", "--parallel", "0"}, "--parallel takes 1 to 128, not \"0\"."},
      {{"wipe", "E:", "--parallel", "two"}, "--parallel takes 1 to 128, not \"two\"."},
      {{"wipe", "E:", "--report-dir="}, "--report-dir needs a folder."},
      {{"wipe", "E:", "--field", "Asset"}, "--field needs NAME=VALUE, not \"Asset\"."},
      {{"wipe", "E:", "--field", "=x"}, "--field needs NAME=VALUE, not \"=x\"."},
      {{"wipe", "E:", "--field", "Tag=a\nb"},
       "--field \"Tag=a\\x0Ab\": a name and value of printable characters, at most 200 each."},
      {{"wipe", "E"}, "A drive letter needs its colon: E:"},
      {{"wipe", "A:"}, "Drive \"A:\" cannot be wiped: volumes are C: to Z:."},
      {{"wipe", "disk100"}, "Unknown disk \"disk100\": disks are disk0 to disk99."},
      {{"wipe", "disk-1"}, "Unknown disk \"disk-1\": disks are disk0 to disk99."},
      {{"wipe", "serial="}, "Serial \"\" is no serial a disk reports."},
      {{"wipe", "\xC3\x89:"},
       "Unknown target \"\\xC3\\x89:\": name a volume (E:), a disk (disk1) or a serial (serial=...)."},
      {{"wipe", "\xEF\xBC\xA5\xEF\xBC\x9A"},  // a full-width "E:"
       "Unknown target \"\\xEF\\xBC\\xA5\\xEF\\xBC\\x9A\": name a volume (E:), a disk (disk1) or a serial "
       "(serial=...)."},
      {{"wipe", std::string("E:\0x", 4)},
       "Unknown target \"E:\\x00x\": name a volume (E:), a disk (disk1) or a serial (serial=...)."},
      {{"list", "E:"}, "list takes no target, but \"E:\" was given."},
      {{"list", "--yes"}, "list takes only --json."},
      {{"resume", "E:", "--method", "1"},
       "resume continues with the method of each target's record: --method does not apply."},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const std::string& arg : c.args) shown += cli::Quoted(arg) + " ";
    SCOPED_TRACE(shown);
    Arguments arguments;
    std::string error;
    EXPECT_FALSE(cli::ParseArguments(c.args, &arguments, &error));
    EXPECT_EQ(error, c.message);
  }
}

TEST(CliArguments, TenThousandTargetsAndLongArgumentsAreReadOrRefusedWhole) {
  std::vector<std::string> args = {"wipe"};
  for (int i = 0; i < 10000; ++i) args.push_back("disk" + std::to_string(i % 100));
  Arguments arguments;
  std::string error;
  ASSERT_TRUE(cli::ParseArguments(args, &arguments, &error)) << error;
  EXPECT_EQ(arguments.targets.size(), 10000u);  // the same disk twice is the targets' refusal

  args.push_back(std::string(100000, 'x'));
  EXPECT_FALSE(cli::ParseArguments(args, &arguments, &error));
  EXPECT_EQ(error, "Unknown target \"" + std::string(60, 'x') +
                       "...\": name a volume (E:), a disk (disk1) or a serial (serial=...).");
}

}  // namespace
