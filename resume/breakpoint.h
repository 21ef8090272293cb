#pragma once
// BreakpointInfo: the resume record in the first 4096 bytes of a device being wiped.

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "wipe/run_context.h"

inline constexpr std::uint32_t kRecordUnit = 4096;

struct BreakpointValues {
  std::uint32_t StartBlock = 0;
  std::uint32_t BlockCount = 0;
  std::uint32_t TailBytes = 0;
  std::uint8_t PassIndex = 0;
  std::uint8_t MethodId = 0;
  std::uint8_t FillByte = 0;
  char CapacityText[50] = {};
  char FileSystem[50] = {};  // a volume's former file system, when its record carries one
};
// fileSystem: a volume's file-system name, carried across the wipe in the record (a named one
// is stored, an empty one is filled from the record); nullptr for a disk. Log lines go to the
// context.
bool SaveBreakpoint(const platform::Device& device, std::uint32_t startBlock,
                    std::uint32_t blockCount, std::uint32_t tailBytes, std::uint8_t passIndex,
                    std::uint8_t methodId, const char (&capacityText)[50], std::uint8_t fillByte,
                    char (*fileSystem)[50], RunContext& context);
// devicePath: "\\.\E:" or "\\.\physicaldrive1".
bool FindBreakpoint(const std::string& devicePath, BreakpointValues* values);
// Whether the device holds a record a run could resume from: the inventory's question.
bool DeviceHoldsRecord(const std::string& devicePath);
// Puts the record into the first 4096 bytes of a block that is about to be written at byte 0
// of the device, so that the write that overwrites an earlier record carries the next one.
// fileSystem as for SaveBreakpoint (only stored, never read back).
void PutBreakpoint(std::uint8_t* block, std::uint32_t startBlock, std::uint32_t blockCount,
                   std::uint32_t tailBytes, std::uint8_t passIndex, std::uint8_t methodId,
                   const char (&capacityText)[50], std::uint8_t fillByte, const char (*fileSystem)[50]);
// *removed (optional) says whether a record was there and was replaced.
bool RemoveBreakpoint(const platform::Device& device, RunContext& context, bool* removed = nullptr);
