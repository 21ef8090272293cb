// What a disk can do to itself, asked through the storage port driver: the protocol-specific
// queries (NVMe Identify Controller and the Sanitize Status log page, ATA IDENTIFY DEVICE),
// READ NATIVE MAX ADDRESS EXT through ATA pass-through, and the sanitize itself
// (IOCTL_STORAGE_REINITIALIZE_MEDIA). Wine and many USB bridges answer ERROR_NOT_SUPPORTED to all
// of them; that refusal is reported with its code, never taken for an answer.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/storage_protocol.h"
#include "platform/win32/true_version.h"
#include "platform/win32/unbuffered_device.h"

namespace platform {
namespace {

using win32::StorageReinitializeMedia;

HANDLE ToHandle(const Device& device) { return reinterpret_cast<HANDLE>(device.get()); }

bool Refused(std::uint32_t* error, DWORD code) {
  if (error != nullptr) *error = code;
  return false;
}

// One protocol-specific query of `dataBytes`: the property (adapter or device), the protocol,
// its data type and the request's value. The data part of the answer, or empty with *error.
std::vector<std::uint8_t> QueryProtocolData(const Device& device, STORAGE_PROPERTY_ID property,
                                            STORAGE_PROTOCOL_TYPE protocol, DWORD dataType,
                                            DWORD requestValue, DWORD dataBytes, std::uint32_t* error) {
  if (!device.valid()) {
    Refused(error, ERROR_INVALID_HANDLE);
    return {};
  }
  constexpr DWORD kHeader = offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters);
  std::vector<std::uint8_t> buffer(kHeader + sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA) + dataBytes, 0);
  auto* query = reinterpret_cast<STORAGE_PROPERTY_QUERY*>(buffer.data());
  query->PropertyId = property;
  query->QueryType = PropertyStandardQuery;
  auto* specific = reinterpret_cast<STORAGE_PROTOCOL_SPECIFIC_DATA*>(buffer.data() + kHeader);
  specific->ProtocolType = protocol;
  specific->DataType = dataType;
  specific->ProtocolDataRequestValue = requestValue;
  specific->ProtocolDataOffset = sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA);
  specific->ProtocolDataLength = dataBytes;
  // The driver answers into the same buffer, a STORAGE_PROTOCOL_DATA_DESCRIPTOR ahead of the data.
  std::vector<std::uint8_t> answer(sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR) + dataBytes, 0);
  DWORD returned = 0;
  if (!win32::WaitedControl(device, IOCTL_STORAGE_QUERY_PROPERTY, buffer.data(),
                            static_cast<DWORD>(buffer.size()), answer.data(), static_cast<DWORD>(answer.size()),
                            &returned)) {
    Refused(error, GetLastError());
    return {};
  }
  std::size_t offset = 0;
  std::size_t length = 0;
  if (!ProtocolDataPlace(answer.data(), returned, &offset, &length)) {
    Refused(error, 0);
    return {};
  }
  if (error != nullptr) *error = 0;
  return std::vector<std::uint8_t>(answer.begin() + static_cast<std::ptrdiff_t>(offset),
                                   answer.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

// The adapter property answers for the controller; some drivers take only the device property.
std::vector<std::uint8_t> QueryEitherProperty(const Device& device, STORAGE_PROTOCOL_TYPE protocol,
                                              DWORD dataType, DWORD requestValue, DWORD dataBytes,
                                              std::uint32_t* error) {
  std::vector<std::uint8_t> data = QueryProtocolData(device, StorageAdapterProtocolSpecificProperty, protocol,
                                                     dataType, requestValue, dataBytes, error);
  if (!data.empty()) return data;
  std::uint32_t second = 0;
  data = QueryProtocolData(device, StorageDeviceProtocolSpecificProperty, protocol, dataType, requestValue,
                           dataBytes, &second);
  if (!data.empty() && error != nullptr) *error = 0;
  return data;
}

// A worker thread per sanitize: the control may not return until the disk has finished, and
// the window that issued it must keep pumping meanwhile. The thread holds its own duplicate of
// the disk handle, so a caller that closes its Device early breaks nothing.
struct SanitizeWorker {
  HANDLE disk = INVALID_HANDLE_VALUE;
  StorageReinitializeMedia input = {};
  bool withInput = true;
  std::atomic<bool> done{false};
  bool accepted = false;
  DWORD error = 0;
  std::thread thread;

  ~SanitizeWorker() {
    if (thread.joinable()) thread.join();
    if (disk != INVALID_HANDLE_VALUE) CloseHandle(disk);
  }
};

std::map<SanitizeCommand, std::unique_ptr<SanitizeWorker>>& Workers() {
  static std::map<SanitizeCommand, std::unique_ptr<SanitizeWorker>> workers;
  return workers;
}

// STORAGE_REINITIALIZE_MEDIA came with Windows 10 21H1 (build 19043).
bool TakesSanitizeMethod() {
  OSVERSIONINFOW info = {};
  return win32::TrueVersion(&info) &&
         (info.dwMajorVersion > 10 || (info.dwMajorVersion == 10 && info.dwBuildNumber >= 19043));
}

}  // namespace

bool QueryNvmeController(const Device& device, NvmeController* controller, std::uint32_t* error) {
  const std::vector<std::uint8_t> data =
      QueryEitherProperty(device, ProtocolTypeNvme, NVMeDataTypeIdentify, win32::kNvmeIdentifyCnsController,
                          win32::kNvmeIdentifyBytes, error);
  if (data.empty()) return false;
  return controller != nullptr && ReadNvmeIdentifyController(data.data(), data.size(), controller);
}

bool QuerySanitizeStatus(const Device& device, SanitizeStatus* status, std::uint32_t* error) {
  const std::vector<std::uint8_t> data =
      QueryEitherProperty(device, ProtocolTypeNvme, NVMeDataTypeLogPage, win32::kNvmeLogPageSanitizeStatus,
                          win32::kNvmeSanitizeLogBytes, error);
  if (data.empty()) return false;
  return status != nullptr && ReadSanitizeStatusLog(data.data(), data.size(), status);
}

bool QueryAtaIdentify(const Device& device, AtaIdentify* identify, std::uint32_t* error) {
  const std::vector<std::uint8_t> data =
      QueryEitherProperty(device, ProtocolTypeAta, AtaDataTypeIdentify, 0, win32::kAtaIdentifyBytes, error);
  if (data.empty()) return false;
  return identify != nullptr && ReadAtaIdentify(data.data(), data.size(), identify);
}

// A non-data 48-bit command that only reads the address: it changes nothing on the disk (unlike
// SET MAX ADDRESS, which this program never sends). Needs a handle opened for reading and
// writing, as every ATA pass-through does.
bool QueryNativeMaxAddress(const Device& device, std::uint64_t* lastAddress, std::uint32_t* error) {
  if (!device.valid()) return Refused(error, ERROR_INVALID_HANDLE);
  ATA_PASS_THROUGH_EX command = {};
  command.Length = sizeof command;
  command.AtaFlags = ATA_FLAGS_DRDY_REQUIRED | ATA_FLAGS_48BIT_COMMAND;
  command.TimeOutValue = 10;
  command.CurrentTaskFile[5] = 0x40;  // LBA addressing
  command.CurrentTaskFile[6] = win32::kAtaReadNativeMaxAddressExt;
  DWORD returned = 0;
  if (!win32::WaitedControl(device, IOCTL_ATA_PASS_THROUGH, &command, sizeof command, &command,
                            sizeof command, &returned)) {
    return Refused(error, GetLastError());
  }
  if (returned < sizeof command || lastAddress == nullptr ||
      !ReadNativeMaxAddress(command.CurrentTaskFile, command.PreviousTaskFile, lastAddress)) {
    return Refused(error, 0);
  }
  if (error != nullptr) *error = 0;
  return true;
}

// Sends the sanitize on a disk opened ReadWrite (not unbuffered: the worker waits on the plain
// control). The duplicate is made here, before the caller can close its handle.
SanitizeCommand StartSanitize(const Device& device, SanitizeAction action) {
  auto worker = std::make_unique<SanitizeWorker>();
  if (!device.valid() || !DuplicateHandle(GetCurrentProcess(), ToHandle(device), GetCurrentProcess(),
                                          &worker->disk, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    worker->disk = INVALID_HANDLE_VALUE;
    worker->error = device.valid() ? GetLastError() : ERROR_INVALID_HANDLE;
    worker->done = true;
  } else {
    worker->input.Version = sizeof(StorageReinitializeMedia);
    worker->input.Size = sizeof(StorageReinitializeMedia);
    // The disk carries on alone after the control returns; this bounds only the command.
    worker->input.TimeoutInSeconds = 60;
    worker->input.SanitizeOption.SanitizeMethod = action == SanitizeAction::CryptoErase
                                                      ? win32::StorageSanitizeMethodCryptoErase
                                                      : win32::StorageSanitizeMethodBlockErase;
    worker->withInput = TakesSanitizeMethod();
    SanitizeWorker* self = worker.get();
    worker->thread = std::thread([self] {
      DWORD returned = 0;
      self->accepted = DeviceIoControl(self->disk, IOCTL_STORAGE_REINITIALIZE_MEDIA,
                                       self->withInput ? &self->input : nullptr,
                                       self->withInput ? sizeof self->input : 0, nullptr, 0, &returned,
                                       nullptr) != 0;
      self->error = self->accepted ? 0 : GetLastError();
      self->done = true;
    });
  }
  static SanitizeCommand next = 1;
  const SanitizeCommand command = next++;
  Workers()[command] = std::move(worker);
  return command;
}

bool SanitizeReturned(SanitizeCommand command, bool* accepted, std::uint32_t* error) {
  auto found = Workers().find(command);
  if (found == Workers().end()) {
    if (accepted != nullptr) *accepted = false;
    if (error != nullptr) *error = ERROR_INVALID_HANDLE;
    return true;
  }
  if (!found->second->done) return false;
  if (accepted != nullptr) *accepted = found->second->accepted;
  if (error != nullptr) *error = found->second->error;
  Workers().erase(found);
  return true;
}

}  // namespace platform
