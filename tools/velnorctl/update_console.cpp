#include "update_console.h"

#include "board_queries.h"
#include "interrupt.h"
#include "output.h"

#include <iostream>

namespace velnorctl {

namespace {

class console_observer_t final : public update_observer_t {
public:
    console_observer_t(std::ostream& out, bool terminal, uint64_t total)
        : out_(out), progress_(out, terminal, total) {}

    void phase(const char* name) override {
        if (std::string(name) == "verifying") {
            progress_.finish();
        }
        out_ << name << "..." << std::endl;
    }

    void progress(uint64_t sent, uint64_t /*total*/) override { progress_.update(sent); }

    std::optional<update_stop_t> stop() override {
        if (!out_) {
            // Its reader went away, say: nobody sees the progress any more.
            return update_stop_t{exit_code_t::file,
                                 "firmware update stopped: cannot write to standard output", true};
        }
        const exit_code_t pending = interrupt_guard_t::pending();
        if (pending == exit_code_t::ok) {
            return std::nullopt;
        }
        progress_.finish();
        out_.flush();
        return update_stop_t{pending,
                             std::string("firmware update interrupted by ") +
                                 interrupt_guard_t::pending_name(),
                             true};
    }

    exit_code_t failed() override {
        progress_.finish();
        return report_current_failure();
    }

    void reset_done(const std::string& line) override {
        std::cerr << program_name() << ": " << message_context() << line << '\n';
    }

private:
    std::ostream& out_;
    progress_t progress_;
};

} // namespace

vl_version update_firmware(vl_device* board, const std::vector<uint8_t>& image,
                           const image_info_t& info, const update_options_t& options,
                           std::ostream& out) {
    console_observer_t observer(out, options.terminal, image.size());
    const interrupt_guard_t guard;
    const vl_version reported = run_firmware_update(board, image, info, options, observer);
    if (interrupt_guard_t::pending() != exit_code_t::ok) {
        std::cerr << program_name() << ": " << message_context()
                  << interrupt_guard_t::pending_name()
                  << " came after the update had finished; firmware now "
                  << printable(version_text(reported)) << '\n';
        throw reported_failure_t(interrupt_guard_t::pending());
    }
    return reported;
}

} // namespace velnorctl
