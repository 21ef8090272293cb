#pragma once
// The layouts of the storage controls that mingw-w64's headers lack, as Windows documents them
// (winioctl.h of the Windows 10 21H1 SDK and later), with the sizes and offsets the drivers
// expect checked at compile time, beside those of the structures the headers have.
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>

namespace platform::win32 {

// STORAGE_SANITIZE_METHOD
enum StorageSanitizeMethod : DWORD {
  StorageSanitizeMethodDefault = 0,
  StorageSanitizeMethodBlockErase = 1,
  StorageSanitizeMethodCryptoErase = 2,
};

// STORAGE_REINITIALIZE_MEDIA: the input of IOCTL_STORAGE_REINITIALIZE_MEDIA from Windows 10
// 21H1; older systems take no input and let the driver choose.
struct StorageReinitializeMedia {
  DWORD Version;
  DWORD Size;
  DWORD TimeoutInSeconds;
  struct {
    DWORD SanitizeMethod : 4;  // a StorageSanitizeMethod
    DWORD DisallowUnrestrictedSanitizeExit : 1;
    DWORD Reserved : 27;
  } SanitizeOption;
};
static_assert(sizeof(StorageReinitializeMedia) == 16, "Version, Size, timeout and the option bits");
static_assert(offsetof(StorageReinitializeMedia, TimeoutInSeconds) == 8, "STORAGE_REINITIALIZE_MEDIA");
static_assert(offsetof(StorageReinitializeMedia, SanitizeOption) == 12, "STORAGE_REINITIALIZE_MEDIA");

// CTL_CODE(IOCTL_STORAGE_BASE, 0x590, METHOD_BUFFERED, FILE_WRITE_ACCESS)
constexpr DWORD kIoctlStorageReinitializeMedia = 0x002D9640;
static_assert(IOCTL_STORAGE_REINITIALIZE_MEDIA == kIoctlStorageReinitializeMedia, "the control's code");

// A protocol-specific query is STORAGE_PROPERTY_QUERY whose AdditionalParameters hold a
// STORAGE_PROTOCOL_SPECIFIC_DATA; the answer is a STORAGE_PROTOCOL_DATA_DESCRIPTOR followed by
// the data, placed by ProtocolDataOffset from the start of the ProtocolSpecificData.
static_assert(offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters) == 8, "PropertyId and QueryType");
static_assert(sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA) == 40, "ten DWORDs");
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataOffset) == 16, "the data's place");
static_assert(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolDataLength) == 20, "the data's length");
static_assert(sizeof(STORAGE_PROTOCOL_DATA_DESCRIPTOR) == 48, "Version, Size and the specific data");
static_assert(offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData) == 8, "after Version and Size");
static_assert(StorageAdapterProtocolSpecificProperty == 49 && StorageDeviceProtocolSpecificProperty == 50,
              "STORAGE_PROPERTY_ID");
static_assert(ProtocolTypeAta == 2 && ProtocolTypeNvme == 3, "STORAGE_PROTOCOL_TYPE");
static_assert(NVMeDataTypeIdentify == 1 && NVMeDataTypeLogPage == 2 && AtaDataTypeIdentify == 1,
              "the data types");

// ATA_PASS_THROUGH_EX with the task files at their 64-bit places.
static_assert(sizeof(ATA_PASS_THROUGH_EX) == 48, "ATA_PASS_THROUGH_EX on 64-bit Windows");
static_assert(offsetof(ATA_PASS_THROUGH_EX, DataBufferOffset) == 24, "ATA_PASS_THROUGH_EX");
static_assert(offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile) == 32, "ATA_PASS_THROUGH_EX");
static_assert(offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile) == 40, "ATA_PASS_THROUGH_EX");

constexpr DWORD kNvmeIdentifyCnsController = 1;
constexpr DWORD kNvmeLogPageSanitizeStatus = 0x81;
constexpr DWORD kNvmeIdentifyBytes = 4096;
constexpr DWORD kNvmeSanitizeLogBytes = 512;
constexpr DWORD kAtaIdentifyBytes = 512;
constexpr UCHAR kAtaReadNativeMaxAddressExt = 0x27;

}  // namespace platform::win32
