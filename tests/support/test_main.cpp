// Test main: the process's temporary directory (and so Velnor.log) is a
// private folder, set before the library can read it.
#include "support/test_env.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    velnor_test::set_temp_dir_variable(velnor_test::temp_dir());
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::error_code ignored;
    std::filesystem::remove_all(velnor_test::temp_dir(), ignored);
    return result;
}
