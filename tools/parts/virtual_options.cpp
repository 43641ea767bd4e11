#include "virtual_options.h"

#include "errors.h"
#ifdef VELNORCTL_VIRTUAL
#include "virtual_platform.h"
#endif

namespace velnorctl {

#ifdef VELNORCTL_VIRTUAL

void virtual_options_t::add_to(CLI::App& app) {
    boards_option_ =
        app.add_option("--boards", boards_, "Number of virtual boards present (default 1)")
            ->check(CLI::Range(0, 64));
    app.add_option("--sim-board", sim_boards_,
                   "A virtual board with this serial; repeat for more boards (serials may "
                   "repeat)")
        ->excludes(boards_option_)
        ->expected(1)
        ->take_all();
    app.add_option("--sim-fault", faults_,
                   "Fault switch of the virtual driver, to try how scripts take failures: "
                   "fn=N,status=S (request N answers status S), fn=N,reply=BYTES (it answers "
                   "short), call=KIND,value=V (the next platform call of that kind fails)")
        ->expected(1)
        ->take_all();
    app.add_option("--sim-pace", pace_ms_,
                   "Pause this many milliseconds after each firmware-update request, to try "
                   "Ctrl-C or SIGTERM during an update")
        ->check(CLI::Range(0, 60000));
    replay_option_ =
        app.add_option("--sim-replay", replay_file_,
                       "Answer every platform call from this trace (Velnor-trace-*.pcapng) "
                       "instead of virtual boards; exit 6 when the run leaves it or ends with "
                       "records of it left")
            ->excludes(boards_option_)
            ->excludes("--sim-board")
            ->excludes("--sim-fault");
}

void virtual_options_t::apply() const {
    if (boards_option_->count() > 0) {
        use_virtual_boards(boards_);
    }
    if (!sim_boards_.empty()) {
        use_virtual_board_serials(sim_boards_);
    }
    for (const std::string& fault : faults_) {
        apply_virtual_fault(fault);
    }
    if (replay_option_->count() > 0) {
        replay_trace(replay_file_);
    }
}

#else

void virtual_options_t::add_to(CLI::App& app) {
    // Recognised so that a command line written for the virtual build gets
    // told where the option is, not a parser error; not listed in --help.
    replay_option_ = app.add_option("--sim-replay", replay_file_)->group("");
}

void virtual_options_t::apply() const {
    if (replay_option_->count() > 0) {
        throw tool_error_t(
            exit_code_t::usage,
            "--sim-replay is an option of velnorctl built for the virtual platform (the "
            "Linux velnorctl of the SDK or the build); this velnorctl works through "
            "Velnor.dll, even the simulation build of it. Replay the trace there, or load "
            "it from Python (velnor.sim.load_trace) or .NET (Simulation.LoadTrace)");
    }
}

#endif

} // namespace velnorctl
