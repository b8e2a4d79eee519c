#include "orvo_sys/portable.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

namespace orvo::sys {
namespace {

int full_sync_done(int /*fd*/) {
  return 0;
}

// What a volume that does not take F_FULLFSYNC answers.
int full_sync_refused(int /*fd*/) {
  errno = ENOTSUP;
  return -1;
}

// Linux has no F_FULLFSYNC, so stand-ins play the full sync here; that macOS asks it of the
// drive, and what its volumes answer, only a Mac shows. A descriptor that is not open tells
// whether the fsync fallback ran: it fails there with EBADF.
TEST(SyncToDisk, FallsBackToFsyncWhereTheFullSyncIsRefusedOrMissing) {
  const test::TempDir tmp;
  const int file = ::open((tmp / "data").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_GE(file, 0);
  constexpr int kClosed = -1;
  struct Case {
    const char* name;
    int (*full_sync)(int);
    int fd;
    int result;
  };
  const Case cases[] = {
      {"full sync done: no fsync after it", full_sync_done, kClosed, 0},
      {"full sync refused: fsync", full_sync_refused, file, 0},
      {"full sync refused: fsync's own error", full_sync_refused, kClosed, EBADF},
      {"no full sync: fsync", nullptr, file, 0},
      {"no full sync: fsync's own error", nullptr, kClosed, EBADF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(sync_to_disk(c.fd, c.full_sync), c.result);
  }
  EXPECT_EQ(sync_to_disk(file), 0);
  ::close(file);
}

}  // namespace
}  // namespace orvo::sys
