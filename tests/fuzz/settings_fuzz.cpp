// setting.bin of 0 to 100 arbitrary bytes: LoadSettings reads at most its 50 bytes, checks
// "Disable sound" exactly when byte 0 is 0xFF, and the next SaveSettings writes the 50-byte
// file that says the same.
#include <cstdio>
#include <string>
#include <vector>

#include "app/settings.h"
#include "tests/fuzz/fuzz_support.h"
#include "ui/headless/headless.h"

namespace {

constexpr std::size_t kLongestFile = 100;

std::string HostFile() { return fuzz::HostFolder() + "/setting.bin"; }

void WriteHostFile(const std::uint8_t* data, std::size_t size) {
  std::FILE* file = std::fopen(HostFile().c_str(), "wb");
  FUZZ_CHECK(file != nullptr, "cannot create " + HostFile());
  FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size, "cannot write " + HostFile());
  std::fclose(file);
}

std::vector<std::uint8_t> ReadHostFile() {
  std::vector<std::uint8_t> bytes;
  std::FILE* file = std::fopen(HostFile().c_str(), "rb");
  FUZZ_CHECK(file != nullptr, "cannot open " + HostFile());
  std::uint8_t buffer[256];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  std::fclose(file);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::LoadSmallMachine(fuzz::HostFolder());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kLongestFile) size = kLongestFile;
  const fuzz::Session session;
  WriteHostFile(data, size);
  const bool expectDisabled = size > 0 && data[0] == 0xFF;

  // From the fresh start (sounds on) and from a start where the option was already checked:
  // a file that holds byte 0 decides alone.
  for (bool checkedBefore : {false, true}) {
    fuzz::ResetSession();
    ui::SetOptionChecked(ui::Option::DisableSound, checkedBefore);
    FUZZ_CHECK(LoadSettings(), "an existing settings file was not read");
    const bool disabled = ui::OptionChecked(ui::Option::DisableSound);
    if (size > 0 || !checkedBefore) {
      FUZZ_CHECK(disabled == expectDisabled, "Disable sound does not follow byte 0");
    }
  }

  FUZZ_CHECK(SaveSettings(), "the settings file was not written");
  const std::vector<std::uint8_t> saved = ReadHostFile();
  FUZZ_CHECK(saved.size() == 50, "setting.bin of " + std::to_string(saved.size()) + " bytes");
  const bool disabledNow = ui::OptionChecked(ui::Option::DisableSound);
  FUZZ_CHECK(saved[0] == (disabledNow ? 0xFF : 0x00), "byte 0 written does not match the option");
  return 0;
}
