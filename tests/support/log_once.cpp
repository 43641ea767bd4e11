// A second process for the log tests: fails once, then exits.
#include <velnor.h>

int main() {
    return vl_device_open(0, nullptr) == VL_RC_NULL_PARAMETER ? 0 : 1;
}
