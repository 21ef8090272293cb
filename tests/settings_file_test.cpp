// setting.bin next to the executable, and the three sounds that "Disable sound" silences.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/handlers.h"
#include "app/settings.h"
#include "tests/app_machine.h"

namespace {

using app_test::AppTest;

class SettingsTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    Load();
  }

  static bool SoundDisabled() { return ui::OptionChecked(ui::Option::DisableSound); }

  static std::vector<std::uint8_t> SettingsBytes(std::uint8_t first) {
    std::vector<std::uint8_t> bytes(50, 0);
    bytes[0] = first;
    return bytes;
  }
};

TEST_F(SettingsTest, TheFileLiesInTheExecutablesFolder) {
  EXPECT_EQ(FileNextToExecutable("setting.bin"), "C:\\Program Files\\Dunmere\\setting.bin");
  EXPECT_EQ(FileNextToExecutable("format.bat"), "C:\\Program Files\\Dunmere\\format.bat");

  machine_.executablePath = "D:\\a\\b.c\\dunmere.exe";
  Load();
  EXPECT_EQ(FileNextToExecutable("setting.bin"), "D:\\a\\b.c\\setting.bin");

  ASSERT_TRUE(SaveSettings());
  const std::vector<sim::Call> writes = CallsOf(sim::Op::WriteFile);
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].path, "D:\\a\\b.c\\setting.bin");
}

TEST_F(SettingsTest, AMissingFileKeepsTheSoundsOnAndTheFirstCloseWritesFiftyBytes) {
  EXPECT_FALSE(LoadSettings());
  EXPECT_FALSE(SoundDisabled());

  EXPECT_TRUE(SaveSettings());

  EXPECT_EQ(ReadHostFile("setting.bin"), SettingsBytes(0x00));
}

TEST_F(SettingsTest, ADisabledSoundIsWrittenAsFFAndReadBack) {
  app::DisableSoundClicked();
  ASSERT_TRUE(SaveSettings());
  EXPECT_EQ(ReadHostFile("setting.bin"), SettingsBytes(0xFF));

  headless::Reset();  // the next start
  EXPECT_TRUE(LoadSettings());
  EXPECT_TRUE(SoundDisabled());
}

struct FileCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
  bool disabled;
};

TEST_F(SettingsTest, OnlyByteZeroAndOnlyFFDisablesTheSound) {
  std::vector<std::uint8_t> reservedNoise(50, 0xFF);
  reservedNoise[0] = 0x00;
  const FileCase cases[] = {
      {"FF", SettingsBytes(0xFF), true},
      {"00", SettingsBytes(0x00), false},
      {"01", SettingsBytes(0x01), false},
      {"FE", SettingsBytes(0xFE), false},
      {"reserved bytes set", reservedNoise, false},
      {"a single FF byte", {0xFF}, true},
      {"an empty file", {}, false},
      {"a longer file", std::vector<std::uint8_t>(4096, 0xFF), true},
  };
  for (const FileCase& c : cases) {
    WriteHostFile("setting.bin", c.bytes);
    // Start from the opposite state, so a load that sets nothing is caught.
    ui::SetOptionChecked(ui::Option::DisableSound, !c.disabled);
    EXPECT_TRUE(LoadSettings()) << c.name;
    EXPECT_EQ(SoundDisabled(), c.disabled) << c.name;
  }
}

TEST_F(SettingsTest, VerifyAfterWipeIsCheckedAtStartAndToggledByItsMenuItem) {
  EXPECT_TRUE(ui::OptionChecked(ui::Option::VerifyAfterWipe));
  app::VerifyAfterWipeClicked();
  EXPECT_FALSE(ui::OptionChecked(ui::Option::VerifyAfterWipe));
  EXPECT_FALSE(SoundDisabled());  // the two items keep their own marks
  app::VerifyAfterWipeClicked();
  EXPECT_TRUE(ui::OptionChecked(ui::Option::VerifyAfterWipe));
}

TEST_F(SettingsTest, ClearingVerifyAfterWipeWritesFFIntoByteOneAndIsReadBack) {
  app::VerifyAfterWipeClicked();
  ASSERT_TRUE(SaveSettings());
  std::vector<std::uint8_t> expected = SettingsBytes(0x00);
  expected[1] = 0xFF;
  EXPECT_EQ(ReadHostFile("setting.bin"), expected);

  headless::Reset();  // the next start
  ASSERT_TRUE(LoadSettings());
  EXPECT_FALSE(ui::OptionChecked(ui::Option::VerifyAfterWipe));
  EXPECT_FALSE(SoundDisabled());

  app::VerifyAfterWipeClicked();
  app::DisableSoundClicked();
  ASSERT_TRUE(SaveSettings());
  EXPECT_EQ(ReadHostFile("setting.bin"), SettingsBytes(0xFF));  // byte 1 back to 0x00
}

TEST_F(SettingsTest, OnlyFFInByteOneTurnsVerificationOffAndOldFilesKeepIt) {
  auto withByteOne = [](std::uint8_t first, std::uint8_t second) {
    std::vector<std::uint8_t> bytes(50, 0);
    bytes[0] = first;
    bytes[1] = second;
    return bytes;
  };
  const FileCase cases[] = {
      // `disabled` here: verification off
      {"00", withByteOne(0x00, 0x00), false},
      {"FF", withByteOne(0x00, 0xFF), true},
      {"01", withByteOne(0xFF, 0x01), false},
      {"FE", withByteOne(0x00, 0xFE), false},
      {"sound off, verify off", withByteOne(0xFF, 0xFF), true},
      {"an old file of one byte", {0xFF}, false},
      {"an empty file", {}, false},
  };
  for (const FileCase& c : cases) {
    WriteHostFile("setting.bin", c.bytes);
    ui::SetOptionChecked(ui::Option::VerifyAfterWipe, c.disabled);  // the opposite state
    EXPECT_TRUE(LoadSettings()) << c.name;
    EXPECT_EQ(ui::OptionChecked(ui::Option::VerifyAfterWipe), !c.disabled) << c.name;
    EXPECT_EQ(SoundDisabled(), !c.bytes.empty() && c.bytes[0] == 0xFF) << c.name;
  }
}

TEST_F(SettingsTest, AFolderThatCannotBeWrittenLosesTheChoiceQuietly) {
  machine_.hostFolder = hostFolder_ + "/missing/folder";
  Load();
  app::DisableSoundClicked();

  EXPECT_FALSE(SaveSettings());
  EXPECT_FALSE(LoadSettings());
  EXPECT_TRUE(SoundDisabled());  // the failed load leaves the option as it was
  EXPECT_TRUE(headless::LogLines().empty());
}

TEST_F(SettingsTest, AFailedWriteLeavesTheOldFileAlone) {
  WriteHostFile("setting.bin", SettingsBytes(0xFF));
  sim::SetFaultHook([](const sim::Call& call) { return call.op == sim::Op::WriteFile; });
  EXPECT_FALSE(SaveSettings());
  sim::ClearFaults();
  EXPECT_EQ(ReadHostFile("setting.bin"), SettingsBytes(0xFF));
}

struct CueCase {
  int cue;
  std::vector<std::string> sounds;
};

TEST_F(SettingsTest, EachCuePlaysItsFileAndOtherNumbersNothing) {
  const CueCase cases[] = {
      {CueWarning, {"warning.wav"}},
      {CueDing, {"ding.wav"}},
      {CueFinish, {"finish.wav"}},
      {3, {}},
      {-1, {}},
  };
  for (const CueCase& c : cases) {
    sim::ClearCalls();
    PlayCue(c.cue);
    EXPECT_EQ(sim::SoundsPlayed(), c.sounds) << c.cue;
  }
}

TEST_F(SettingsTest, DisableSoundTakesEffectAtTheNextCue) {
  PlayCue(CueDing);
  app::DisableSoundClicked();
  PlayCue(CueDing);
  PlayCue(CueFinish);
  app::DisableSoundClicked();
  PlayCue(CueWarning);

  EXPECT_EQ(sim::SoundsPlayed(), (std::vector<std::string>{"ding.wav", "warning.wav"}));
}

}  // namespace
