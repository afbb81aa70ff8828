// The native backend's descriptor owner and write loop, and the files that
// hold a descriptor through it: nothing leaks, nothing closes twice.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "os/files.h"
#include "os/posix/unique_fd.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFile;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using testing_support::WriteFile;

bool IsOpenDescriptor(int fd) {
  return fcntl(fd, F_GETFD) != -1;
}

std::size_t OpenDescriptorCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++count;
  }
  return count;
}

TEST(UniqueFd, TheLastOwnerClosesTheDescriptorOnce) {
  os::posix::UniqueFd first(open("/dev/null", O_RDONLY | O_CLOEXEC));
  int fd = first.Get();
  ASSERT_TRUE(IsOpenDescriptor(fd));
  {
    os::posix::UniqueFd second(std::move(first));
    EXPECT_FALSE(first);
    os::posix::UniqueFd third;
    third = std::move(second);
    EXPECT_FALSE(second);
    EXPECT_EQ(third.Get(), fd);
    EXPECT_TRUE(IsOpenDescriptor(fd));
  }
  EXPECT_FALSE(IsOpenDescriptor(fd));

  os::posix::UniqueFd kept(open("/dev/null", O_RDONLY | O_CLOEXEC));
  int released = kept.Release();
  EXPECT_TRUE(kept.Close()) << "nothing left to close";
  EXPECT_TRUE(IsOpenDescriptor(released));
  os::posix::UniqueFd closing(released);
  EXPECT_TRUE(closing.Close());
  EXPECT_FALSE(IsOpenDescriptor(released));
}

TEST(WriteAll, EveryByteArrivesInOrderThroughShortWrites) {
  // More than a pipe holds, so the writes come back short while the reader lags.
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{3} << 20}) {
    SCOPED_TRACE(size);
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_CLOEXEC), 0);
    os::posix::UniqueFd readEnd(ends[0]);
    os::posix::UniqueFd writeEnd(ends[1]);
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 % 251);
    std::string received;
    std::thread reader([&] {
      char buffer[1000];
      for (ssize_t n; (n = read(readEnd.Get(), buffer, sizeof buffer)) > 0;) {
        received.append(buffer, static_cast<std::size_t>(n));
      }
    });
    EXPECT_TRUE(os::posix::WriteAll(writeEnd.Get(), bytes.data(), bytes.size()));
    writeEnd.Reset();
    reader.join();
    EXPECT_TRUE(received == bytes) << received.size() << " of " << bytes.size() << " bytes";
  }
}

TEST(WriteAll, AFailingWriteIsReported) {
  os::posix::UniqueFd readOnly(open("/dev/null", O_RDONLY | O_CLOEXEC));
  EXPECT_FALSE(os::posix::WriteAll(readOnly.Get(), "x", 1));
}

// Opened twice (the second open drops the first descriptor), then closed.
template <typename File>
void ReopenThenClose(const wchar_t* path) {
  File file;
  EXPECT_TRUE(file.Open(path));
  EXPECT_TRUE(file.Open(path));
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.Size(), -1);
}

TEST(FileDescriptors, OpenFilesReleaseTheirDescriptorOnEveryPath) {
  TempDir drive;
  ScopedEnv mapD{"WARDKEEP_DRIVE_D", drive.path().string()};
  WriteFile(drive / "jar", "0123456789");
  const std::size_t before = OpenDescriptorCount();
  struct Case {
    const char* name;
    std::function<void()> use;
  };
  const Case cases[] = {
      {"read, destroyed", [] { EXPECT_TRUE(os::ReadOnlyFile().Open(L"D:\\jar")); }},
      {"read, reopened then closed", [] { ReopenThenClose<os::ReadOnlyFile>(L"D:\\jar"); }},
      {"read, a directory refused", [] { EXPECT_FALSE(os::ReadOnlyFile().Open(L"D:\\")); }},
      {"append, destroyed",
       [] {
         os::AppendFile file;
         EXPECT_TRUE(file.Open(L"D:\\download"));
         EXPECT_TRUE(file.Write("abc", 3));
       }},
      {"append, reopened then closed", [] { ReopenThenClose<os::AppendFile>(L"D:\\download"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.use();
    EXPECT_EQ(OpenDescriptorCount(), before);
  }
  EXPECT_EQ(ReadFile(drive / "download"), "abc");
}

}  // namespace
