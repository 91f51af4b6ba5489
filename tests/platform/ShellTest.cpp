// Handing targets to the shell: recorded by the headless backend, ShellExecuteA under Windows.

#include "platform/ui/Shell.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestSupport.h"

#ifndef _WIN32
#include "platform/ui/ShellTesting.h"
#include "platform/ui/UiTesting.h"
#endif

namespace {

#ifndef _WIN32

TEST(Shell, EveryOpenIsRecordedWithItsOwnerVerbAndParameters) {
  ui::testing::Reset();
  os::testing::ClearShellCalls();
  ui::Application app;
  ui::Form form(app, {.caption = "Owner", .bounds = {0, 0, 300, 200}});
  EXPECT_TRUE(os::ShellOpen(&form, "/opt/letrana/Letrana_License.txt"));
  EXPECT_TRUE(
      os::ShellOpen(nullptr, "http://www.norvane.example/pages/c_letrana.php?lang=ENG&progvers=1.630", ""));
  EXPECT_TRUE(os::ShellOpen(&form, "mailto:info@norvane.example"));
  using os::testing::ShellCall;
  ASSERT_EQ(os::testing::ShellCalls().size(), 3u);
  EXPECT_EQ(os::testing::ShellCalls()[0],
            (ShellCall{&form, "open", "/opt/letrana/Letrana_License.txt", std::nullopt}));
  // The empty parameter text is passed as such, not as none.
  EXPECT_EQ(
      os::testing::ShellCalls()[1],
      (ShellCall{nullptr, "open", "http://www.norvane.example/pages/c_letrana.php?lang=ENG&progvers=1.630",
                 std::string()}));
  EXPECT_EQ(os::testing::ShellCalls()[2].target, "mailto:info@norvane.example");
  os::testing::ClearShellCalls();
  EXPECT_TRUE(os::testing::ShellCalls().empty());
}

#else

TEST(Shell, ATargetThatCannotBeOpenedIsTheShellsMatter) {
  testing_support::TempDir temp;
  // No such file: the shell refuses it, without a message and without an error reaching the caller.
  EXPECT_FALSE(os::ShellOpen(nullptr, temp.File("Letrana_Missing.chm")));
  EXPECT_FALSE(os::ShellOpen(nullptr, temp.File("Letrana_Missing.chm"), ""));
}

#endif

}  // namespace
