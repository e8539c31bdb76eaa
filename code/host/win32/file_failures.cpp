// Windows host layer: the system's record of why a file operation failed, and its words for it.
#include "files_host.h"
#include "file_utils.h"
#include "velk_string.h"
#include "win32_host.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>

void forget_file_failure() { SetLastError(0); }

INT_U32 file_failure_code() { return GetLastError(); }

void restore_file_failure(INT_U32 code) { SetLastError(code); }

// Words for what the system reports of a file or folder that cannot be written or made, for a system
// that has no message of its own for the code (or one that needs inserts).
struct FAILURE_WORDS {
  DWORD code;
  const char* words;
};
static const FAILURE_WORDS failure_words[] = {
    {ERROR_FILE_NOT_FOUND, "The file does not exist"},
    {ERROR_PATH_NOT_FOUND, "The folder does not exist"},
    {ERROR_TOO_MANY_OPEN_FILES, "Too many files are open"},
    {ERROR_ACCESS_DENIED, "Access is denied"},
    {ERROR_NOT_ENOUGH_MEMORY, "There is not enough memory"},
    {ERROR_OUTOFMEMORY, "There is not enough memory"},
    {ERROR_INVALID_DRIVE, "The drive does not exist"},
    {ERROR_WRITE_PROTECT, "The disk is write-protected"},
    {ERROR_NOT_READY, "The drive is not ready"},
    {ERROR_CRC, "The disk has a data error"},
    {ERROR_SECTOR_NOT_FOUND, "The disk has a data error"},
    {ERROR_WRITE_FAULT, "The device cannot write"},
    {ERROR_READ_FAULT, "The device cannot read"},
    {ERROR_GEN_FAILURE, "The device failed"},
    {ERROR_SHARING_VIOLATION, "Another program is using the file"},
    {ERROR_LOCK_VIOLATION, "Another program has locked a part of the file"},
    {ERROR_SHARING_BUFFER_EXCEEDED, "Too many files are shared"},
    {ERROR_HANDLE_DISK_FULL, "The disk is full"},
    {ERROR_DISK_FULL, "The disk is full"},
    {ERROR_NOT_SUPPORTED, "The drive does not support it"},
    {ERROR_REM_NOT_LIST, "The network computer does not answer"},
    {ERROR_BAD_NETPATH, "The network path cannot be found"},
    {ERROR_NETWORK_BUSY, "The network is busy"},
    {ERROR_DEV_NOT_EXIST, "The network device is gone"},
    {ERROR_BAD_NET_RESP, "The network computer answered wrongly"},
    {ERROR_UNEXP_NET_ERR, "The network failed"},
    {ERROR_NETNAME_DELETED, "The network share is gone"},
    {ERROR_NETWORK_ACCESS_DENIED, "The network share denies access"},
    {ERROR_BAD_NET_NAME, "The network share cannot be found"},
    {ERROR_FILE_EXISTS, "Something of that name exists"},
    {ERROR_CANNOT_MAKE, "It cannot be made"},
    {ERROR_NET_WRITE_FAULT, "Writing over the network failed"},
    {ERROR_SEM_TIMEOUT, "The device or network took too long"},
    {ERROR_INVALID_NAME, "The name is not valid"},
    {ERROR_ALREADY_EXISTS, "Something of that name exists"},
    {336 /* ERROR_DIRECTORY_NOT_SUPPORTED */, "A folder has the name"},
    {ERROR_FILENAME_EXCED_RANGE, "The name is too long"},
    {ERROR_FILE_TOO_LARGE, "The file is too large for the file system"},
    {225 /* ERROR_VIRUS_INFECTED */, "A virus scanner refused the file"},
    {226 /* ERROR_VIRUS_DELETED */, "A virus scanner removed the file"},
    {ERROR_DIRECTORY, "The folder name is not valid"},
    {ERROR_DISK_TOO_FRAGMENTED, "The disk is too fragmented"},
    {ERROR_DELETE_PENDING, "The file is being removed"},
    {665 /* ERROR_FILE_SYSTEM_LIMITATION */, "The file system cannot take it"},
    {ERROR_UNRECOGNIZED_VOLUME, "The disk holds no file system the system knows"},
    {ERROR_FILE_INVALID, "The disk was taken away"},
    {ERROR_MEDIA_CHANGED, "The disk was changed"},
    {ERROR_NO_MEDIA_IN_DRIVE, "There is no disk in the drive"},
    {ERROR_IO_DEVICE, "The device failed"},
    {ERROR_DEVICE_NOT_CONNECTED, "The device is not connected"},
    {ERROR_USER_MAPPED_FILE, "Another program has the file mapped"},
    {ERROR_NETWORK_UNREACHABLE, "The network cannot be reached"},
    {ERROR_CONNECTION_ABORTED, "The network connection was ended"},
    {1295 /* ERROR_DISK_QUOTA_EXCEEDED */, "The disk quota is exceeded"},
    {ERROR_FILE_CORRUPT, "The file is damaged"},
    {ERROR_DISK_CORRUPT, "The disk is damaged"},
    {ERROR_NO_SYSTEM_RESOURCES, "The system lacks the resources"},
    {ERROR_DEVICE_REMOVED, "The device was removed"},
    {ERROR_UNRECOGNIZED_MEDIA, "The disk is not formatted"},
    {ERROR_NOT_ENOUGH_QUOTA, "The quota is exceeded"},
    {ERROR_CANT_ACCESS_FILE, "The file cannot be reached"},
    {ERROR_ENCRYPTION_FAILED, "The file cannot be encrypted"},
    {ERROR_FILE_READ_ONLY, "The file is read-only"},
};

void describe_file_failure(char* out, size_t size) {
  if (!out || size == 0) return;
  out[0] = 0;
  DWORD code = GetLastError();
  if (code == 0) return;
  // The system's own words in the user's language, on one line, without the closing full stop; its
  // message for a code it has none for, or one with inserts it would need filled, is not taken.
  WCHAR message[512];
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, message,
                                sizeof message / sizeof message[0], nullptr);
  if (length > 0 && length < sizeof message / sizeof message[0] && !wcschr(message, L'%')) {
    for (WCHAR* at = message; *at; at++)
      if (*at == L'\r' || *at == L'\n' || *at == L'\t') *at = L' ';
    size_t end = wcslen(message);
    while (end > 0 && (message[end - 1] == L' ' || message[end - 1] == L'.')) end--;
    message[end] = 0;
    if (end > 0 && system_text(message, out, size)) return;
  }
  for (const FAILURE_WORDS& entry : failure_words) {
    if (entry.code != code) continue;
    snprintf(out, size, "%s", entry.words);
    return;
  }
  snprintf(out, size, "system error %lu", (unsigned long)code);
}
