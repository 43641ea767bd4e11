#include "board_queries.h"

#include "board_values.h"
#include "errors.h"

namespace velnorctl {

std::string version_text(const vl_version& version) {
    size_t length = 0;
    while (length < sizeof version.text && version.text[length] != '\0') {
        ++length;
    }
    if (length > 0) {
        return std::string(version.text, length);
    }
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch);
}

std::string read_serial(vl_device* board) {
    char buffer[33] = {};
    VLCTL_CALL(vl_device_get_serial, board, buffer, 32);
    return buffer;
}

vl_version read_driver_version(vl_device* board) {
    vl_version version{};
    VLCTL_CALL(vl_device_get_driver_version, board, &version);
    return version;
}

vl_version read_firmware_version(vl_device* board) {
    vl_version version{};
    VLCTL_CALL(vl_device_get_firmware_version, board, &version);
    return version;
}

vl_version read_library_version() {
    vl_version version{};
    VLCTL_CALL(vl_get_library_version, &version);
    return version;
}

uint32_t read_led(vl_device* board) {
    uint32_t value = 0;
    VLCTL_CALL(vl_device_get_id_led_state, board, &value);
    return value;
}

uint32_t read_trigger_polarity(vl_device* board) {
    uint32_t value = 0;
    VLCTL_CALL(vl_device_get_trigger_polarity, board, &value);
    return value;
}

uint32_t read_trigger_status(vl_device* board) {
    uint32_t value = 0;
    VLCTL_CALL(vl_device_get_trigger_status, board, &value);
    return value;
}

vl_clock read_clock(vl_device* board) {
    vl_clock clock{};
    VLCTL_CALL(vl_device_get_clock, board, &clock);
    return clock;
}

uint8_t read_register(vl_device* board, uint32_t address) {
    uint8_t value = 0;
    VLCTL_CALL(vl_device_ad9516_reg_read, board, address, &value);
    return value;
}

update_status_t read_update_status(vl_device* board) {
    update_status_t status;
    VLCTL_CALL(vl_device_update_get_status, board, &status.state, &status.received);
    return status;
}

void explain_refused_start(vl_device* board, library_failure_t& failure) {
    if (failure.rc() != VL_RC_UPDATE_INVALID_STATUS) {
        return;
    }
    // Read without throwing: the refusal stays the failure reported.
    uint32_t state = 0;
    uint32_t received = 0;
    const vl_rc read = vl_device_update_get_status(board, &state, &received);
    if (read != VL_RC_SUCCESS) {
        failure.set_advice("the board's update state could not be read "
                           "(vl_device_update_get_status " +
                           std::string(vl_rc_name(read)) + " (" + std::to_string(read) +
                           ")); when no update is running, 'velnorctl firmware reset' returns "
                           "it to idle");
        return;
    }
    const std::string now = "(update state " + name_of(state, update_state_names()) + ", " +
                            std::to_string(received) + " bytes received)";
    if (state == VL_UPDATE_ERASING || state == VL_UPDATE_READY || state == VL_UPDATE_VERIFYING) {
        failure.set_advice("the board is in the middle of an update " + now +
                           ": another one is running or was stopped half-way; when none is "
                           "running, 'velnorctl firmware reset' abandons it and a new update "
                           "can start");
    } else {
        failure.set_advice("the board refuses to start an update " + now +
                           "; when none is running, 'velnorctl firmware reset' returns it to "
                           "idle");
    }
}

} // namespace velnorctl
