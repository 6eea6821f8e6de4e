#include "platform/file_lock.h"

#include <gtest/gtest.h>

#include "tests/support/temp_path.h"

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

namespace quorin::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileLock, OneWriterAtATimeAndReadersTogether) {
  const fs::path directory = quorin::testing::UniqueTempPath("quorin_file_lock_test");
  fs::create_directories(directory);
  const std::string lockPath = (directory / "data.lock").string();

  EXPECT_FALSE(FileLock::Acquire(lockPath, FileLock::Mode::Shared, false))
      << "no lock file, none created";
  EXPECT_FALSE(fs::exists(lockPath));
  EXPECT_FALSE(
      FileLock::Acquire((directory / "none" / "x.lock").string(), FileLock::Mode::Exclusive));
  EXPECT_FALSE(FileLock::Acquire("", FileLock::Mode::Exclusive));

  {
    // Two readers hold the lock at once (a second one that waited would never return).
    const FileLock first = FileLock::Acquire(lockPath, FileLock::Mode::Shared);
    const FileLock second = FileLock::Acquire(lockPath, FileLock::Mode::Shared, false);
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
  }

  // Writers of several threads, each with a lock of its own, are never inside together.
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::atomic<int> entered{0};
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        FileLock lock = FileLock::Acquire(lockPath, FileLock::Mode::Exclusive);
        if (!lock)
          continue;
        ++entered;
        if (++inside != 1)
          ++overlaps;
        std::this_thread::yield();
        --inside;
        FileLock moved = std::move(lock);  // the lock goes with the object
        EXPECT_FALSE(lock);
        EXPECT_TRUE(moved);
      }
    });
  }
  for (auto& writer : writers)
    writer.join();
  EXPECT_EQ(entered.load(), 800);
  EXPECT_EQ(overlaps.load(), 0);
  std::error_code ignored;
  fs::remove_all(directory, ignored);
}

}  // namespace
}  // namespace quorin::platform
