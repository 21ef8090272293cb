// setting.bin next to the executable, and the three sounds.
#include "app/settings.h"

#include <cstdint>
#include <vector>

#include "platform/platform.h"
#include "ui/ui.h"

namespace {

const char* const kSettingsFileName = "setting.bin";
constexpr std::size_t kSettingsFileSize = 50;
// Each switch is one byte: 0xFF turns its option away from the default, anything else keeps
// the default, so files written before a switch existed (zeros there) keep their meaning.
constexpr std::size_t kSoundSwitch = 0;
constexpr std::size_t kVerifySwitch = 1;
constexpr std::uint8_t kSwitchOff = 0xFF;
constexpr std::uint8_t kSwitchDefault = 0x00;

// A file too short to hold a switch leaves that option at its default.
bool SwitchOff(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return bytes.size() > at && bytes[at] == kSwitchOff;
}

}  // namespace

bool LoadSettings() {
  std::vector<std::uint8_t> bytes;
  if (!platform::ReadFileBytes(FileNextToExecutable(kSettingsFileName), kSettingsFileSize, &bytes)) {
    return false;
  }
  ui::SetOptionChecked(ui::Option::DisableSound, SwitchOff(bytes, kSoundSwitch));
  ui::SetOptionChecked(ui::Option::VerifyAfterWipe, !SwitchOff(bytes, kVerifySwitch));
  return true;
}

bool SaveSettings() {
  // The bytes after the switches are reserved and written as zeros.
  std::vector<std::uint8_t> bytes(kSettingsFileSize, 0);
  bytes[kSoundSwitch] = ui::OptionChecked(ui::Option::DisableSound) ? kSwitchOff : kSwitchDefault;
  bytes[kVerifySwitch] = ui::OptionChecked(ui::Option::VerifyAfterWipe) ? kSwitchDefault : kSwitchOff;
  return platform::WriteFileBytes(FileNextToExecutable(kSettingsFileName), bytes);
}

void PlayCue(int cue) {
  // Read at every call, so a click on "Disable sound" takes effect at the very next cue.
  if (ui::OptionChecked(ui::Option::DisableSound)) return;
  switch (cue) {
    case CueWarning: platform::PlaySoundAsync("warning.wav"); break;
    case CueDing: platform::PlaySoundAsync("ding.wav"); break;
    case CueFinish: platform::PlaySoundAsync("finish.wav"); break;
    default: break;
  }
}
