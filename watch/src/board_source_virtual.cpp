// The watcher's backend on the virtual platform: a listener of
// velnor_sim, which reports the boards present and every later change under
// the platform's lock, so the list and the registration are one step.
#include "board_source.h"
#include "utf8.h"

#include "error/system_failure.h"

#include <velnor_sim.h>

namespace velnor::watch {
namespace {

class virtual_source_t final : public board_source_t {
public:
    explicit virtual_source_t(change_sink_t& sink) : sink_(sink) {
        // Named as the Windows call it stands for, as the library's virtual
        // backend names CreateFileW and DeviceIoControl.
        if (vlsim_listen(&virtual_source_t::heard, this, &registration_) != 0) {
            throw system_failure_t(vlsim_GetLastError(), "RegisterDeviceNotificationW failed");
        }
    }
    ~virtual_source_t() override { vlsim_unlisten(registration_); }
    virtual_source_t(const virtual_source_t&) = delete;
    virtual_source_t& operator=(const virtual_source_t&) = delete;

private:
    static void heard(void* context, vlsim_board_event event, const wchar_t* path) {
        const board_change_t change = event == VLSIM_BOARD_PRESENT   ? board_change_t::present
                                      : event == VLSIM_BOARD_ARRIVED ? board_change_t::arrived
                                                                     : board_change_t::removed;
        static_cast<virtual_source_t*>(context)->sink_.board_changed(change, utf8_of(path));
    }

    change_sink_t& sink_;
    std::uint64_t registration_ = 0;
};

} // namespace

std::unique_ptr<board_source_t> start_board_source(change_sink_t& sink) {
    return std::make_unique<virtual_source_t>(sink);
}

} // namespace velnor::watch
