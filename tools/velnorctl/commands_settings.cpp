#include "board_queries.h"
#include "board_values.h"
#include "commands.h"
#include "errors.h"
#include "frequency_parse.h"

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

std::string register_line(uint32_t address, uint8_t value) {
    char text[40];
    std::snprintf(text, sizeof text, "0x%03x: 0x%02x", static_cast<unsigned>(address),
                  static_cast<unsigned>(value));
    return text;
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
            vl_device* board = session.board();
            if (argument->given()) {
                check(set_name, set(board, parse_value(argument->value, accepted, name)));
            }
            std::cout << name_of(get(board), shown) << '\n';
        };
    });
}

void run_clock(session_t& session, const value_argument_t& frequency,
               const std::string& mode_text) {
    vl_device* board = session.board();
    if (frequency.given()) {
        const std::optional<int64_t> hertz = parse_frequency(frequency.value);
        if (!hertz) {
            throw tool_error_t(exit_code_t::usage,
                               "'" + frequency.value +
                                   "' is not a whole number of hertz (try 100M, 125MHz, 9.375e6 "
                                   "or 100000000)");
        }
        vl_clock clock{};
        clock.mode = parse_value(mode_text, clock_mode_names(), "clock mode");
        clock.frequency_hz = *hertz;
        VLCTL_CALL(vl_device_set_clock, board, &clock);
    }
    std::cout << describe_clock(read_clock(board)) << '\n';
}

void add_clock(CLI::App& app, session_t& session, action_t& chosen) {
    auto frequency = std::make_shared<value_argument_t>();
    auto mode = std::make_shared<std::string>("internal");
    CLI::App* clock = app.add_subcommand(
        "clock", "Show the sample clock, or set it (internal synthesis unless --mode external)");
    frequency->option = clock->add_option(
        "frequency", frequency->value, "New frequency: 100M, 125MHz, 9.375e6, 100000000 (hertz)");
    clock->add_option("--mode", *mode, "internal (default) or external, or the board's number");
    clock->callback([=, &session, &chosen] {
        chosen = [=, &session] { run_clock(session, *frequency, *mode); };
    });
}

void add_registers(CLI::App& app, session_t& session, action_t& chosen) {
    CLI::App* reg = app.add_subcommand("reg", "Read or write an AD9516 register");
    reg->require_subcommand(1);

    auto read_address = std::make_shared<std::string>();
    CLI::App* read = reg->add_subcommand("read", "Read one register");
    read->add_option("address", *read_address, "Register address, 0x000 to 0x232")->required();
    read->callback([=, &session, &chosen] {
        chosen = [=, &session] {
            const auto address =
                static_cast<uint32_t>(parse_number(*read_address, 0xFFFFFFFFu, "address"));
            std::cout << register_line(address, read_register(session.board(), address)) << '\n';
        };
    });

    auto write_address = std::make_shared<std::string>();
    auto write_value = std::make_shared<std::string>();
    CLI::App* write = reg->add_subcommand("write", "Write one register and read it back");
    write->add_option("address", *write_address, "Register address, 0x000 to 0x232")->required();
    write->add_option("value", *write_value, "New contents, 0x00 to 0xff")->required();
    write->callback([=, &session, &chosen] {
        chosen = [=, &session] {
            const auto address =
                static_cast<uint32_t>(parse_number(*write_address, 0xFFFFFFFFu, "address"));
            const uint64_t value = parse_number(*write_value, 0xFFFFFFFFu, "value");
            vl_device* board = session.board();
            // Built by hand rather than with VL_AD9516_REG_WRITE_VALUE, which keeps only
            // the low byte: a value above 0xff goes to the board, which refuses it.
            VLCTL_CALL(vl_device_ad9516_reg_write, board, uint64_t{address} | value << 32);
            std::cout << register_line(address, read_register(board, address)) << '\n';
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

    add_clock(app, session, chosen);
    add_registers(app, session, chosen);
}

} // namespace velnorctl
