#include "device/discovery.h"

#include <array>

namespace velnor {

namespace {
// Indexed by CONFIGRET value; the names of the SDK constants without CR_.
constexpr std::array<const char*, 0x3C> names = {
    "success",
    "dflt",
    "out_of_memory",
    "invalid_pointer",
    "invalid_flag",
    "invalid_devnode",
    "invalid_res_des",
    "invalid_log_conf",
    "invalid_arbitrator",
    "invalid_nodelist",
    "devnode_has_reqs",
    "invalid_resourceid",
    "dlvxd_not_found",
    "no_such_devnode",
    "no_more_log_conf",
    "no_more_res_des",
    "already_such_devnode",
    "invalid_range_list",
    "invalid_range",
    "failure",
    "no_such_logical_dev",
    "create_blocked",
    "not_system_vm",
    "remove_vetoed",
    "apm_vetoed",
    "invalid_load_type",
    "buffer_small",
    "no_arbitrator",
    "no_registry_handle",
    "registry_error",
    "invalid_device_id",
    "invalid_data",
    "invalid_api",
    "devloader_not_ready",
    "need_restart",
    "no_more_hw_profiles",
    "device_not_there",
    "no_such_value",
    "wrong_type",
    "invalid_priority",
    "not_disableable",
    "free_resources",
    "query_vetoed",
    "cant_share_irq",
    "no_dependent",
    "same_resources",
    "no_such_registry_key",
    "invalid_machinename",
    "remote_comm_failure",
    "machine_unavailable",
    "no_cm_services",
    "access_denied",
    "call_not_implemented",
    "invalid_property",
    "device_interface_active",
    "no_such_device_interface",
    "invalid_reference_string",
    "invalid_conflict_list",
    "invalid_index",
    "invalid_structure_size",
};
} // namespace

const char* configret_name(CONFIGRET result) noexcept {
    return result < names.size() ? names[result] : "invalid_rc";
}

} // namespace velnor
