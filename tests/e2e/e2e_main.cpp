// The end-to-end binary. Without arguments it runs every suite but the ones
// meant for Wine's own cfgmgr32.dll and for a planted one. Modes:
//   --system-cfgmgr32  only the SystemConfigurationManager suite
//   --planted-cfgmgr32 only the PlantedConfigurationManager suite
//   --bench [N]        time N requests per path (default 10000), no tests
//   --watch-bench [N]  time N board arrivals and removals to the watch's callback (default 200)
//   --log-child        the child process of the log tests
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "e2e_modes.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const char* only = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--log-child") == 0) {
            return e2e::run_log_child();
        }
        if (std::strcmp(argv[i], "--bench") == 0) {
            std::size_t requests = i + 1 < argc ? std::strtoul(argv[i + 1], nullptr, 10) : 0;
            return e2e::run_bench(requests > 0 ? requests : 10000);
        }
        if (std::strcmp(argv[i], "--watch-bench") == 0) {
            std::size_t events = i + 1 < argc ? std::strtoul(argv[i + 1], nullptr, 10) : 0;
            return e2e::run_watch_bench(events > 0 ? events : 200);
        }
        if (std::strcmp(argv[i], "--system-cfgmgr32") == 0) {
            only = "SystemConfigurationManager.*";
        }
        if (std::strcmp(argv[i], "--planted-cfgmgr32") == 0) {
            only = "PlantedConfigurationManager.*";
        }
    }
    std::string filter = GTEST_FLAG_GET(filter);
    if (only != nullptr) {
        filter = only;
    } else if (filter == "*") {
        filter = "*-SystemConfigurationManager.*:PlantedConfigurationManager.*";
    }
    GTEST_FLAG_SET(filter, filter);
    return RUN_ALL_TESTS();
}
