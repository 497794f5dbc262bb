#include "support/test_layout.h"

namespace quorvane::testing {

TestLayout::TestLayout() {
    std::filesystem::create_directories(root() / "build");
    std::filesystem::create_directories(assets());
    std::filesystem::create_directories(webDir());
    overrideExecutableDirForTesting(root() / "build");
}

TestLayout::~TestLayout() { overrideExecutableDirForTesting({}); }

}  // namespace quorvane::testing
