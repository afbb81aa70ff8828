#include "host/resource_readout.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

constexpr std::uint64_t kGiB = 1ull << 30;

TEST(ResourceReadout, DiskFiguresAreTwoDecimalGigabytes) {
  EXPECT_EQ(host::FormatGigabytes(kGiB + kGiB / 2), L"1.50 GB");
  EXPECT_EQ(host::FormatGigabytes(0), L"0.00 GB");
  EXPECT_EQ(host::FormatGigabytes(5 * kGiB), L"5.00 GB");
  EXPECT_EQ(host::FormatGigabytes(kGiB - 1), L"1.00 GB");  // printf rounding
  EXPECT_EQ(host::FormatGigabytes(2000 * kGiB + kGiB / 4), L"2000.25 GB");
}

TEST(ResourceReadout, MemoryIsWholeMebibytesOfTheLowThirtyTwoBits) {
  EXPECT_EQ(host::FormatMemoryMegabytes((1ull << 20) - 1), L"0");
  EXPECT_EQ(host::FormatMemoryMegabytes(8 * kGiB), L"8192");
  EXPECT_EQ(host::FormatMemoryMegabytes((1ull << 20) * 3 + 5), L"3");
  // 2^52 bytes is 2^32 MiB, whose low 32 bits are zero.
  EXPECT_EQ(host::FormatMemoryMegabytes(1ull << 52), L"0");
}

TEST(ResourceReadout, AMissingDriveGivesEmptyText) {
  EXPECT_EQ(host::FormatDiskFree(L"Q:\\"), L"");
}

}  // namespace
