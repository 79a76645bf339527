// The C++ wrapper over the C interface: one Service shared by threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "capi/zephrinimport.hpp"
#include "test_util.h"

namespace zephrin {
namespace {

// One thread's calls end with a message, the other's without: both replace
// the Service's last messages and status, which must stay whole, and each
// call's own reply keeps what it said. Unguarded, the two threads met in
// the last messages within a few thousand rounds.
TEST(CxxWrapper, OneServiceMayBeUsedFromTwoThreadsAtOnce) {
  const test::ScopedHome home;
  zephrinimport::Service service;
  const std::string missing = home.file("missing.csv");
  std::atomic<int> wrong{0};
  std::thread suggesting([&] {
    for (int i = 0; i < 20000; ++i) {
      auto reply = service.Invoke("SuggestTemplates", {zephrinimport::Arg::String(missing),
                                                       zephrinimport::Arg::String("FCOA")});
      if (!reply || reply->status != 1 || reply->messages.size() != 1) ++wrong;
      const std::vector<zephrinimport::Message> last = service.messages();
      if (last.size() > 1) ++wrong;
    }
  });
  std::thread setting([&] {
    for (int i = 0; i < 20000; ++i) {
      if (!service.SetCurrentYear(2024)) ++wrong;
      (void)service.status();
    }
  });
  suggesting.join();
  setting.join();
  EXPECT_EQ(wrong.load(), 0);
  ASSERT_TRUE(service.SetCurrentYear(2025));
  EXPECT_TRUE(service.messages().empty());
  EXPECT_EQ(service.status(), 0);
}

}  // namespace
}  // namespace zephrin
