#include "support/export_cases.h"

#include "support/firmware_image.h"

#include <cstring>

namespace velnor_test {

namespace {

constexpr unsigned char sentinel = 0xA5;
constexpr vlsim_call list_size = VLSIM_CALL_LIST_SIZE;
constexpr vlsim_call list_fetch = VLSIM_CALL_LIST_FETCH;
constexpr vlsim_call create_file = VLSIM_CALL_CREATE_FILE;
constexpr vlsim_call close_handle = VLSIM_CALL_CLOSE_HANDLE;
constexpr vlsim_call ioctl = VLSIM_CALL_DEVICE_IO_CONTROL;

// Starts an update and polls until the board takes blocks.
bool ready_for_blocks(Scene& s) {
    if (vl_device_update_start_async(s.device) != VL_RC_SUCCESS) {
        return false;
    }
    uint32_t state = 0;
    for (int poll = 0; poll < 10 && state != 2; ++poll) {
        if (vl_device_update_get_status(s.device, &state, nullptr) != VL_RC_SUCCESS) {
            return false;
        }
    }
    return state == 2;
}

const std::vector<uint8_t>& image() {
    static const std::vector<uint8_t> bytes = firmware_image(3, 1, 4, "3.1.4", 1500);
    return bytes;
}

bool first_block_ready(Scene& s) {
    std::memcpy(s.block.data(), update_blocks(image()).front().data(), s.block.size());
    return ready_for_blocks(s);
}

bool whole_image_sent(Scene& s) {
    if (!ready_for_blocks(s)) {
        return false;
    }
    for (const auto& block : update_blocks(image())) {
        if (vl_device_update_write(s.device, block.data()) != VL_RC_SUCCESS) {
            return false;
        }
    }
    return true;
}

bool producible_clock(Scene& s) {
    s.clock_in = vl_clock{VL_CLOCK_MODE_INTERNAL, {1, 2, 3, 4}, 125'000'000};
    return true;
}

std::vector<ExportCase> make_cases() {
    const std::vector<vlsim_call> one_request = {ioctl};
    return {
        {"vl_get_library_version",
         -1,
         {},
         false,
         nullptr,
         [](Scene& s) { return vl_get_library_version(&s.out.version); },
         [](Scene&) { return vl_get_library_version(nullptr); },
         VL_RC_NULL_PARAMETER},
        {"vl_get_device_count",
         -1,
         {list_size, list_fetch},
         false,
         nullptr,
         [](Scene& s) { return vl_get_device_count(&s.out.count); },
         [](Scene&) { return vl_get_device_count(nullptr); },
         VL_RC_NULL_PARAMETER},
        {"vl_device_open",
         -1,
         {list_size, list_fetch, create_file},
         false,
         nullptr,
         [](Scene& s) {
             const vl_rc result = vl_device_open(0, &s.out.handle);
             if (result == VL_RC_SUCCESS) {
                 s.opened = s.out.handle;
             }
             return result;
         },
         [](Scene&) { return vl_device_open(0, nullptr); },
         VL_RC_NULL_PARAMETER},
        {"vl_device_close",
         -1,
         {close_handle},
         true,
         nullptr,
         [](Scene& s) {
             const vl_rc result = vl_device_close(s.device);
             if (result == VL_RC_SUCCESS) {
                 s.device = nullptr;
             }
             return result;
         },
         [](Scene&) { return vl_device_close(nullptr); },
         VL_RC_NULL_PARAMETER},
        {"vl_device_get_driver_version", 0, one_request, true, nullptr,
         [](Scene& s) { return vl_device_get_driver_version(s.device, &s.out.version); },
         [](Scene& s) { return vl_device_get_driver_version(nullptr, &s.out.version); },
         VL_RC_NULL_PARAMETER},
        {"vl_device_get_firmware_version", 1, one_request, true, nullptr,
         [](Scene& s) { return vl_device_get_firmware_version(s.device, &s.out.version); },
         [](Scene& s) { return vl_device_get_firmware_version(s.device, nullptr); },
         VL_RC_NULL_PARAMETER},
        {"vl_device_get_serial", 17, one_request, true, nullptr,
         [](Scene& s) { return vl_device_get_serial(s.device, s.out.serial, sizeof s.out.serial); },
         [](Scene& s) { return vl_device_get_serial(s.device, nullptr, 8); }, VL_RC_NULL_PARAMETER},
        {"vl_device_get_id_led_state", 7, one_request, true, nullptr,
         [](Scene& s) { return vl_device_get_id_led_state(s.device, &s.out.first); },
         [](Scene& s) { return vl_device_get_id_led_state(s.device, nullptr); },
         VL_RC_NULL_PARAMETER},
        {"vl_device_set_id_led_state", 8, one_request, true, nullptr,
         [](Scene& s) { return vl_device_set_id_led_state(s.device, 2); },
         [](Scene&) { return vl_device_set_id_led_state(nullptr, 2); }, VL_RC_NULL_PARAMETER},
        {"vl_device_get_trigger_polarity", 9, one_request, true, nullptr,
         [](Scene& s) { return vl_device_get_trigger_polarity(s.device, &s.out.first); },
         [](Scene& s) { return vl_device_get_trigger_polarity(s.device, nullptr); },
         VL_RC_NULL_PARAMETER},
        {"vl_device_set_trigger_polarity", 10, one_request, true, nullptr,
         [](Scene& s) { return vl_device_set_trigger_polarity(s.device, 1); },
         [](Scene&) { return vl_device_set_trigger_polarity(nullptr, 1); }, VL_RC_NULL_PARAMETER},
        {"vl_device_get_trigger_status", 11, one_request, true, nullptr,
         [](Scene& s) { return vl_device_get_trigger_status(s.device, &s.out.first); },
         [](Scene& s) { return vl_device_get_trigger_status(s.device, nullptr); },
         VL_RC_NULL_PARAMETER},
        {"vl_device_set_trigger_status", 12, one_request, true, nullptr,
         [](Scene& s) { return vl_device_set_trigger_status(s.device, 1); },
         [](Scene&) { return vl_device_set_trigger_status(nullptr, 1); }, VL_RC_NULL_PARAMETER},
        {"vl_device_ad9516_reg_write", 15, one_request, true, nullptr,
         [](Scene& s) {
             return vl_device_ad9516_reg_write(s.device, VL_AD9516_REG_WRITE_VALUE(0x1E0, 0x5A));
         },
         [](Scene&) {
             return vl_device_ad9516_reg_write(nullptr, VL_AD9516_REG_WRITE_VALUE(0x1E0, 0x5A));
         },
         VL_RC_NULL_PARAMETER},
        {"vl_device_ad9516_reg_read", 16, one_request, true, nullptr,
         [](Scene& s) { return vl_device_ad9516_reg_read(s.device, 0x1E0, &s.out.byte); },
         [](Scene& s) { return vl_device_ad9516_reg_read(s.device, 0x1E0, nullptr); },
         VL_RC_NULL_PARAMETER},
        {"vl_device_set_clock", 14, one_request, true, producible_clock,
         [](Scene& s) { return vl_device_set_clock(s.device, &s.clock_in); },
         [](Scene& s) {
             const vl_clock refused{VL_CLOCK_MODE_INTERNAL, {}, 123'456'789};
             return vl_device_set_clock(s.device, &refused);
         },
         VL_RC_INVALID_FREQUENCY},
        {"vl_device_get_clock", 13, one_request, true, nullptr,
         [](Scene& s) { return vl_device_get_clock(s.device, &s.out.clock); },
         [](Scene& s) { return vl_device_get_clock(s.device, nullptr); }, VL_RC_NULL_PARAMETER},
        {"vl_device_update_start_async", 2, one_request, true, nullptr,
         [](Scene& s) { return vl_device_update_start_async(s.device); },
         [](Scene&) { return vl_device_update_start_async(nullptr); }, VL_RC_NULL_PARAMETER},
        {"vl_device_update_get_status", 3, one_request, true, nullptr,
         [](Scene& s) {
             return vl_device_update_get_status(s.device, &s.out.first, &s.out.second);
         },
         [](Scene& s) { return vl_device_update_get_status(nullptr, &s.out.first, &s.out.second); },
         VL_RC_NULL_PARAMETER},
        {"vl_device_update_write", 4, one_request, true, first_block_ready,
         [](Scene& s) { return vl_device_update_write(s.device, s.block.data()); },
         [](Scene& s) { return vl_device_update_write(s.device, nullptr); }, VL_RC_NULL_PARAMETER},
        {"vl_device_update_complete", 5, one_request, true, whole_image_sent,
         [](Scene& s) { return vl_device_update_complete(s.device); },
         [](Scene&) { return vl_device_update_complete(nullptr); }, VL_RC_NULL_PARAMETER},
        {"vl_device_update_reset", 6, one_request, true, ready_for_blocks,
         [](Scene& s) { return vl_device_update_reset(s.device); },
         [](Scene&) { return vl_device_update_reset(nullptr); }, VL_RC_NULL_PARAMETER},
    };
}

} // namespace

void Scene::fill_outputs() {
    std::memset(&out, sentinel, sizeof out);
}

bool Scene::outputs_untouched() const {
    Outputs expected;
    std::memset(&expected, sentinel, sizeof expected);
    return std::memcmp(&expected, &out, sizeof out) == 0;
}

const std::vector<ExportCase>& export_cases() {
    static const std::vector<ExportCase> cases = make_cases();
    return cases;
}

std::vector<ExportCase> device_operation_cases() {
    std::vector<ExportCase> operations;
    for (const ExportCase& c : export_cases()) {
        if (c.request >= 0) {
            operations.push_back(c);
        }
    }
    return operations;
}

bool begin(Scene& scene, const ExportCase& c) {
    vlsim_reset();
    vlsim_add_board(nullptr);
    scene = Scene{};
    if (c.needs_device && vl_device_open(0, &scene.device) != VL_RC_SUCCESS) {
        return false;
    }
    return c.prepare == nullptr || c.prepare(scene);
}

bool finish(Scene& scene) {
    bool closed = true;
    for (vl_device** handle : {&scene.device, &scene.opened}) {
        if (*handle != nullptr) {
            closed = vl_device_close(*handle) == VL_RC_SUCCESS && closed;
            *handle = nullptr;
        }
    }
    return closed;
}

std::array<uint64_t, VLSIM_CALL_KIND_COUNT> call_counts() {
    std::array<uint64_t, VLSIM_CALL_KIND_COUNT> counts{};
    for (int kind = 0; kind < VLSIM_CALL_KIND_COUNT; ++kind) {
        counts[kind] = vlsim_call_count(static_cast<vlsim_call>(kind));
    }
    return counts;
}

const char* call_kind_name(vlsim_call kind) {
    switch (kind) {
    case VLSIM_CALL_LIST_SIZE:
        return "CM_Get_Device_Interface_List_Size";
    case VLSIM_CALL_LIST_FETCH:
        return "CM_Get_Device_Interface_ListW";
    case VLSIM_CALL_CREATE_FILE:
        return "CreateFileW";
    case VLSIM_CALL_CLOSE_HANDLE:
        return "CloseHandle";
    case VLSIM_CALL_DEVICE_IO_CONTROL:
        return "DeviceIoControl";
    case VLSIM_CALL_KIND_COUNT:
        break;
    }
    return "?";
}

void PrintTo(const ExportCase& c, std::ostream* out) {
    *out << c.name;
}

} // namespace velnor_test
