#include <gtest/gtest.h>

#include "net/download_progress.h"

namespace vyr::net {
namespace {

TEST(DownloadProgressTest, AmountsInKilobytesUpToOneMegabyteThenMegabytes) {
  const std::pair<std::uint64_t, const char*> cases[] = {
      {0, "0 KB"},           {1023, "0 KB"},          {12345, "12 KB"},
      {1048576, "1024 KB"},  {1048577, "1.00 MB"},    {5767168, "5.50 MB"},
      {3221225472ull, "3072.00 MB"},
  };
  for (const auto& [bytes, text] : cases) EXPECT_EQ(FormatDownloadAmount(bytes), text) << bytes;
}

}  // namespace
}  // namespace vyr::net
