#include "orvo_sys/os_error.hpp"

#include <cerrno>

#include "orvo_sys/portable.hpp"

namespace orvo::sys {
namespace {

struct KindName {
  int code;
  std::string_view name;
};

// The category names diagnostics show for operating-system error numbers.
constexpr KindName kKindNames[] = {
    {ENOENT, "NotFound"},
    {EACCES, "PermissionDenied"},
    {EPERM, "PermissionDenied"},
    {EEXIST, "AlreadyExists"},
    {ENOTDIR, "NotADirectory"},
    {EISDIR, "IsADirectory"},
    {ENOTEMPTY, "DirectoryNotEmpty"},
    {EROFS, "ReadOnlyFilesystem"},
    {ELOOP, "FilesystemLoop"},
    {ENAMETOOLONG, "InvalidFilename"},
    {EINVAL, "InvalidInput"},
    {EINTR, "Interrupted"},
    {ENOSPC, "StorageFull"},
    {EDQUOT, "QuotaExceeded"},
    {EFBIG, "FileTooLarge"},
    {EBUSY, "ResourceBusy"},
    {ETXTBSY, "ExecutableFileBusy"},
    {EXDEV, "CrossesDevices"},
    {EMLINK, "TooManyLinks"},
    {E2BIG, "ArgumentListTooLong"},
    {ENOMEM, "OutOfMemory"},
    {EPIPE, "BrokenPipe"},
    {EAGAIN, "WouldBlock"},
    {ETIMEDOUT, "TimedOut"},
    {ENOSYS, "Unsupported"},
    {EDEADLK, "Deadlock"},
    {ESTALE, "StaleNetworkFileHandle"},
    {ESPIPE, "NotSeekable"},
    {EINPROGRESS, "InProgress"},
    {EADDRINUSE, "AddrInUse"},
    {EADDRNOTAVAIL, "AddrNotAvailable"},
    {ECONNABORTED, "ConnectionAborted"},
    {ECONNREFUSED, "ConnectionRefused"},
    {ECONNRESET, "ConnectionReset"},
    {EHOSTUNREACH, "HostUnreachable"},
    {ENETDOWN, "NetworkDown"},
    {ENETUNREACH, "NetworkUnreachable"},
    {ENOTCONN, "NotConnected"},
};

}  // namespace

std::string OsError::description() const {
  return error_text(code);
}

std::string OsError::message() const {
  return description() + " (os error " + std::to_string(code) + ")";
}

std::string_view OsError::kind_name() const {
  for (const KindName& known : kKindNames) {
    if (known.code == code) {
      return known.name;
    }
  }
  return "Uncategorized";
}

OsError OsError::last() {
  return OsError{errno};
}

}  // namespace orvo::sys
