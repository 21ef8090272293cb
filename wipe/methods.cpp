#include "wipe/methods.h"

namespace {

constexpr PassPattern Zeros{PatternKind::Fixed, 0x00};
constexpr PassPattern Ones{PatternKind::Fixed, 0xFF};
constexpr PassPattern Drawn{PatternKind::Drawn, 0};
constexpr PassPattern Complement{PatternKind::Complement, 0};
constexpr PassPattern Random{PatternKind::Random, 0};
constexpr PassPattern Unused{PatternKind::Fixed, 0};

}  // namespace

// The order is the method box order, and the index is what breakpoint records store, so a
// record written by an older run keeps naming the same method.
const WipeMethod WipeMethods[kMethodCount] = {
    {0, "Standard overwrite (overwrite with zeros) (1 pass)", 1,
     {Zeros, Unused, Unused, Unused, Unused, Unused, Unused},
     "standard overwrite", "standard overwrite"},
    {1, "US Dept. of Defense DoD 5220.22-M (E) (3 passes)", 3,
     {Zeros, Ones, Random, Unused, Unused, Unused, Unused},
     "DoD 5220.22-M(E)", "DoD 5220.22-M(E)"},
    {2, "US Dept. of Defense DoD 5220.22-M(ECE) (7 passes)", 7,
     {Drawn, Complement, Random, Random, Drawn, Complement, Random},
     "DoD 5220.22-M(ECE)", "US DoD 5220.22-M(ECE)"},
    {3, "US Army AR380-19  (3 passes)", 3,
     {Random, Drawn, Complement, Unused, Unused, Unused, Unused},
     "US Army AR380-19", "US Army AR380-19"},
    {4, "Russian GOST P50739-95 (2 passes)", 2,
     {Zeros, Random, Unused, Unused, Unused, Unused, Unused},
     "Russian GOST P50739-95", "Russian GOST P50739-95"},
};

std::string PassCaptionSuffix(int methodId, int passIndex) {
  if (methodId < 0 || methodId >= kMethodCount) return std::string();
  const WipeMethod& method = WipeMethods[methodId];
  const char* name = passIndex == 0 ? method.firstCaptionName : method.captionName;
  return std::string(" with ") + name + ", performing overwrite " + std::to_string(passIndex + 1) +
         " of " + std::to_string(method.passCount);
}

const char* MethodBoxText(int methodId) {
  if (methodId >= 0 && methodId < kMethodCount) return WipeMethods[methodId].boxText;
  return methodId == kSanitizeMethodId ? kSanitizeBoxText : nullptr;
}
