#pragma once
// BreakpointInfo: the resume record in the first 4096 bytes of a device being wiped.

#include <cstdint>
#include <string>

#include "platform/platform.h"

inline constexpr std::uint32_t kRecordUnit = 4096;

struct BreakpointValues {
  std::uint32_t StartBlock = 0;
  std::uint32_t BlockCount = 0;
  std::uint32_t TailBytes = 0;
  std::uint8_t PassIndex = 0;
  std::uint8_t MethodId = 0;
  std::uint8_t FillByte = 0;
  char CapacityText[50] = {};
};
extern BreakpointValues ResumePoint;

struct BreakpointTarget {
  bool isDisk = false;
  std::string rootPath;          // volume: "E:\"
  std::int32_t diskNumber = 0;   // disk
};

bool SaveBreakpoint(const platform::Device& device, std::uint32_t startBlock,
                    std::uint32_t blockCount, std::uint32_t tailBytes, std::uint8_t passIndex,
                    std::uint8_t methodId, const char (&capacityText)[50], std::uint8_t fillByte);
bool FindBreakpoint(const BreakpointTarget& target, BreakpointValues* values);
// *removed (optional) says whether a record was there and was replaced.
bool RemoveBreakpoint(const platform::Device& device, bool* removed = nullptr);
