/* Uses the installed header and library; with the virtual platform, also
 * sets up two boards of its own first, as a user's test would. */
#include <velnor.h>
#ifdef CONSUMER_HAS_VIRTUAL_PLATFORM
#include <velnor_sim.h>
#endif

#include <stdio.h>

int main(void) {
    vl_version version;
    size_t count = 0;
#ifdef CONSUMER_HAS_VIRTUAL_PLATFORM
    vlsim_reset();
    vlsim_add_board(NULL);
    vlsim_add_board(NULL);
#endif
    if (vl_get_library_version(&version) != VL_RC_SUCCESS ||
        vl_get_device_count(&count) != VL_RC_SUCCESS) {
        fprintf(stderr, "consumer: the library failed\n");
        return 1;
    }
    printf("consumer: library %s, %u board(s)\n", version.text, (unsigned)count);
    return 0;
}
