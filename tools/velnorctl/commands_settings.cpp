#include "board_queries.h"
#include "board_values.h"
#include "clock_list.h"
#include "commands.h"
#include "errors.h"
#include "frequency_parse.h"
#include "output.h"

#ifdef VELNORCTL_VIRTUAL
#include "virtual_platform.h"
#endif

#include <velnor_board_protocol.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <string>

namespace velnorctl {

namespace {

struct value_argument_t {
    std::string value;
    CLI::Option* option = nullptr;
    bool given() const { return option->count() > 0; }
};

struct clock_arguments_t {
    value_argument_t frequency;
    value_argument_t mode;
    value_argument_t near;
    bool list = false;
    bool json = false;
};

struct register_arguments_t {
    std::string address;
    std::string value;
    bool json = false;
};

std::string register_line(uint32_t address, uint8_t value) {
    return hex_text(address, 3) + ": " + hex_text(value, 2);
}

// A command that reads one board value without an argument and sets it with
// one, then prints the value the board reports.
void add_get_set(CLI::App& parent, const std::string& name, const std::string& description,
                 const std::string& value_help, session_t& session, action_t& chosen,
                 vl_rc (*set)(vl_device*, uint32_t), const char* set_name,
                 uint32_t (*get)(vl_device*), const value_names_t& shown,
                 const value_names_t& accepted) {
    auto argument = std::make_shared<value_argument_t>();
    CLI::App* command = parent.add_subcommand(name, description);
    argument->option = command->add_option("value", argument->value, value_help);
    command->callback([=, &session, &chosen, &shown, &accepted] {
        chosen = [=, &session, &shown, &accepted] {
            if (argument->given()) {
                const uint32_t value = parse_value(argument->value, accepted, name);
                vl_device* board = session.board();
                const uint64_t mark = log_mark();
                check(set_name, set(board, value), mark);
            }
            std::cout << name_of(get(session.board()), shown) << '\n';
        };
    });
}

// The frequency typed for the clock, refused here when the board's ranges
// rule it out: a negative one for internal synthesis, an external reference
// outside what the board accepts.
int64_t parse_clock_frequency(const std::string& text, uint32_t mode) {
    const std::optional<int64_t> hertz = parse_frequency(text);
    if (!hertz) {
        const auto ends_with = [&text](const std::string& end) {
            return text.size() > end.size() &&
                   text.compare(text.size() - end.size(), end.size(), end) == 0;
        };
        const bool milli = ends_with("m") || ends_with("mHz");
        throw tool_error_t(exit_code_t::usage,
                           "'" + printable(text) +
                               (milli ? "' reads as millihertz (lower-case m is milli); write "
                                        "M for megahertz, as in 100M"
                                      : "' is not a whole number of hertz (try 100M, 125MHz, "
                                        "9.375e6 or 100000000)"));
    }
    return checked_clock_frequency(*hertz, mode);
}

void print_clock(const vl_clock& clock, bool json) {
    if (json) {
        print_json(std::cout, {{"mode", clock.mode},
                               {"mode_name", name_of(clock.mode, clock_mode_names())},
                               {"frequency_hz", clock.frequency_hz}});
    } else {
        std::cout << describe_clock(clock) << '\n';
    }
}

std::string frequency_text(int64_t hertz) {
    return std::to_string(hertz) + " Hz (" + format_frequency(hertz) + ")";
}

void list_frequencies(const clock_arguments_t& arguments) {
    if (arguments.near.given()) {
        const int64_t hertz = parse_clock_frequency(arguments.near.value, VL_CLOCK_MODE_INTERNAL);
        const frequency_probe_t probe = probe_frequency(hertz);
        if (arguments.json) {
            json_t document = {{"frequency_hz", hertz}, {"producible", probe.producible}};
            document["below_hz"] = probe.below ? json_t(*probe.below) : json_t(nullptr);
            document["above_hz"] = probe.above ? json_t(*probe.above) : json_t(nullptr);
            print_json(std::cout, document);
            return;
        }
        if (probe.producible) {
            std::cout << frequency_text(hertz) << " can be produced\n";
            return;
        }
        std::cout << frequency_text(hertz) << " cannot be produced; nearest:";
        std::cout << (probe.below ? " " + frequency_text(*probe.below) : "")
                  << (probe.below && probe.above ? " and" : "")
                  << (probe.above ? " " + frequency_text(*probe.above) : "") << '\n';
        return;
    }
    const std::vector<int64_t> table = producible_frequencies();
    if (arguments.json) {
        print_json(std::cout, {{"frequencies_hz", table}});
        return;
    }
    for (const int64_t hertz : table) {
        std::cout << hertz << "  " << format_frequency(hertz) << '\n';
    }
}

void run_clock(session_t& session, const clock_arguments_t& arguments) {
    if (arguments.list || arguments.near.given()) {
        if (arguments.frequency.given() || arguments.mode.given()) {
            throw tool_error_t(exit_code_t::usage,
                               "clock --list and --near take no frequency or --mode");
        }
        list_frequencies(arguments);
        return;
    }
    if (arguments.mode.given() && !arguments.frequency.given()) {
        throw tool_error_t(exit_code_t::usage,
                           "clock --mode needs a frequency: the mode is set together with one");
    }
    if (arguments.frequency.given()) {
        vl_clock clock{};
        clock.mode = parse_value(arguments.mode.given() ? arguments.mode.value : "internal",
                                 clock_mode_names(), "clock mode");
        clock.frequency_hz = parse_clock_frequency(arguments.frequency.value, clock.mode);
        VLCTL_CALL(vl_device_set_clock, session.board(), &clock);
    }
    print_clock(read_clock(session.board()), arguments.json);
}

void add_clock(CLI::App& app, session_t& session, action_t& chosen) {
    auto arguments = std::make_shared<clock_arguments_t>();
    CLI::App* clock = app.add_subcommand(
        "clock", "Show the sample clock, or set it (internal synthesis unless --mode external), "
                 "or list the frequencies the board can synthesise");
    arguments->frequency.option =
        clock->add_option("frequency", arguments->frequency.value,
                          "New frequency: 100M, 125MHz, 9.375e6, 100000000 (hertz)");
    arguments->mode.option = clock->add_option(
        "--mode", arguments->mode.value,
        "internal (default) or external (a reference of 1 Hz to 1 GHz), or the board's number");
    clock->add_flag("--list", arguments->list,
                    "List every frequency internal synthesis can produce (no board needed)");
    arguments->near.option = clock->add_option(
        "--near", arguments->near.value, "Say whether F can be produced, else its neighbours");
    clock->add_flag("--json", arguments->json, "Print one JSON object");
    clock->callback(
        [=, &session, &chosen] { chosen = [=, &session] { run_clock(session, *arguments); }; });
}

void add_registers(CLI::App& app, session_t& session, action_t& chosen) {
    CLI::App* reg = app.add_subcommand("reg", "Read, write or dump the AD9516 registers");
    reg->require_subcommand(1);

    auto read_arguments = std::make_shared<register_arguments_t>();
    CLI::App* read = reg->add_subcommand("read", "Read one register");
    read->add_option("address", read_arguments->address, "Register address, 0x000 to 0x232")
        ->required();
    read->add_flag("--json", read_arguments->json, "Print one JSON object");
    read->callback([=, &session, &chosen] {
        chosen = [=, &session] {
            const uint32_t address = parse_register_address(read_arguments->address);
            const uint8_t value = read_register(session.board(), address);
            if (read_arguments->json) {
                print_json(std::cout, {{"address", address}, {"value", value}});
            } else {
                std::cout << register_line(address, value) << '\n';
            }
        };
    });

    auto write_arguments = std::make_shared<register_arguments_t>();
    CLI::App* write = reg->add_subcommand("write", "Write one register and read it back");
    write->add_option("address", write_arguments->address, "Register address, 0x000 to 0x232")
        ->required();
    write->add_option("value", write_arguments->value, "New contents, 0x00 to 0xff")->required();
    write->callback([=, &session, &chosen] {
        chosen = [=, &session] {
            const uint32_t address = parse_register_address(write_arguments->address);
            const uint32_t value = parse_register_value(write_arguments->value);
            vl_device* board = session.board();
            VLCTL_CALL(vl_device_ad9516_reg_write, board,
                       VL_AD9516_REG_WRITE_VALUE(address, value));
            std::cout << register_line(address, read_register(board, address)) << '\n';
        };
    });

    auto dump_json = std::make_shared<bool>(false);
    CLI::App* dump = reg->add_subcommand("dump", "Read every register, 0x000 to 0x232");
    dump->add_flag("--json", *dump_json, "Print one JSON object");
    dump->callback([=, &session, &chosen] {
        chosen = [=, &session] {
            vl_device* board = session.board();
            json_t registers = json_t::array();
            std::string lines;
            for (uint32_t address = 0; address <= VLB_REGISTER_MAX; ++address) {
                const uint8_t value = read_register(board, address);
                registers.push_back({{"address", address}, {"value", value}});
                lines += register_line(address, value) + '\n';
            }
            if (*dump_json) {
                print_json(std::cout, {{"registers", registers}});
            } else {
                std::cout << lines;
            }
        };
    });
}

} // namespace

void add_setting_commands(CLI::App& app, session_t& session, action_t& chosen) {
    add_get_set(app, "led", "Show or set the identification LED", "off, on, blink or a number",
                session, chosen, vl_device_set_id_led_state, "vl_device_set_id_led_state", read_led,
                led_names(), led_names());

    CLI::App* trigger = app.add_subcommand("trigger", "Show or set the trigger");
    trigger->require_subcommand(1);
    add_get_set(*trigger, "polarity", "Show or set the trigger polarity",
                "rising, falling or a number", session, chosen, vl_device_set_trigger_polarity,
                "vl_device_set_trigger_polarity", read_trigger_polarity, polarity_names(),
                polarity_names());
    add_get_set(*trigger, "status", "Show the trigger status, or arm or disarm the trigger",
                "arm, disarm or a number", session, chosen, vl_device_set_trigger_status,
                "vl_device_set_trigger_status", read_trigger_status, trigger_status_names(),
                trigger_command_names());
#ifdef VELNORCTL_VIRTUAL
    trigger->add_subcommand("fire", "Virtual boards: the edge arrives; an armed trigger fires")
        ->callback([&session, &chosen] {
            chosen = [&session] {
                vl_device* board = session.board();
                fire_virtual_trigger(session.board_index());
                std::cout << name_of(read_trigger_status(board), trigger_status_names()) << '\n';
            };
        });
#endif

    add_clock(app, session, chosen);
    add_registers(app, session, chosen);
}

} // namespace velnorctl
