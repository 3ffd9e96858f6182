// test-links: core
// The window's title from the executable's path.
#include <gtest/gtest.h>

#include "core/window_title.h"

namespace {

struct TitleCase {
    const char* path;
    const char* title;
};

class WindowTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(WindowTitle, FileNameWithoutItsLastExtension) {
    EXPECT_EQ(window_title(GetParam().path), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WindowTitle,
    ::testing::Values(TitleCase{"/usr/local/bin/scene", "scene"},
                      TitleCase{"/home/me/my.demo.bin", "my.demo"},
                      TitleCase{"scene.exe", "scene"}, TitleCase{"my.demo.exe", "my.demo"},
                      TitleCase{"/opt/a.b/run", "run"}, TitleCase{"/opt/.hidden", ".hidden"},
                      TitleCase{"/opt/trailing.", "trailing"},
                      TitleCase{"/opt/scene (deleted)", "scene"},
                      TitleCase{"/opt/my.demo.bin (deleted)", "my.demo"}));

}  // namespace
