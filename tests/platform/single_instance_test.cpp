// The single-instance socket lives only in a folder nobody else may write to.
#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tools/test_support.h"

namespace vyr::platform {
namespace {

TEST(SingleInstanceFolderTest, AFolderOthersMayWriteToHoldsNoSocket) {
  const struct {
    mode_t mode;
    bool used;
  } cases[] = {{0700, true}, {0755, true}, {0770, false}, {0777, false}, {01777, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    test::TempDir runtime;
    ASSERT_EQ(::chmod(runtime.Path().c_str(), c.mode), 0);
    test::ScopedEnv env("XDG_RUNTIME_DIR", runtime.Path());
    EXPECT_EQ(SingleInstance::SocketPath(), c.used ? runtime.File(kSingleInstanceName) : "");
    SingleInstance instance;
    EXPECT_EQ(instance.Listen(nullptr, nullptr), c.used);
    EXPECT_EQ(SingleInstance::HandOver("http://a.example/"), c.used);
  }
}

}  // namespace
}  // namespace vyr::platform
