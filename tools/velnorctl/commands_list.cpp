#include "board_queries.h"
#include "board_values.h"
#include "commands.h"
#include "errors.h"
#include "interface_paths.h"
#include "output.h"

#include <iostream>
#include <memory>
#include <optional>

namespace velnorctl {

namespace {

void list_boards(bool json) {
    // The paths are listed by the tool itself. When the system cannot list them
    // (Wine's configuration manager, or the simulation build of the library
    // beside a real system) the boards the library finds are still listed,
    // without the path column, and the failed listing is reported on stderr.
    std::optional<std::vector<std::string>> paths;
    try {
        paths = board_interface_paths();
    } catch (const tool_error_t& error) {
        std::cerr << "velnorctl: warning: " << error.what()
                  << "; listing the boards without them\n";
    }
    size_t count = 0;
    VLCTL_CALL(vl_get_device_count, &count);
    // A board that comes or goes in between leaves the paths blank.
    if (paths && paths->size() != count) {
        paths->assign(count, "");
    }
    std::vector<std::vector<std::string>> rows = {{"INDEX", "SERIAL", "FIRMWARE", "DRIVER"}};
    if (paths) {
        rows.front().push_back("INTERFACE PATH");
    }
    json_t entries = json_t::array();
    for (size_t index = 0; index < count; ++index) {
        const board_handle_t board = open_board(index);
        const std::string serial = read_serial(board.get());
        const vl_version firmware = read_firmware_version(board.get());
        const vl_version driver = read_driver_version(board.get());
        rows.push_back(
            {std::to_string(index), serial, version_text(firmware), version_text(driver)});
        json_t entry = {{"index", index},
                        {"serial", serial},
                        {"firmware", version_json(firmware)},
                        {"driver", version_json(driver)},
                        {"path", nullptr}};
        if (paths) {
            rows.back().push_back((*paths)[index]);
            entry["path"] = (*paths)[index];
        }
        entries.push_back(std::move(entry));
    }
    if (json) {
        print_json(std::cout, {{"boards", entries}});
    } else if (count == 0) {
        std::cout << "no boards\n";
    } else {
        print_table(std::cout, rows);
    }
}

void show_info(session_t& session, bool json) {
    vl_device* board = session.board();
    const std::string serial = read_serial(board);
    const vl_version driver = read_driver_version(board);
    const vl_version firmware = read_firmware_version(board);
    const vl_version library = read_library_version();
    const uint32_t led = read_led(board);
    const uint32_t polarity = read_trigger_polarity(board);
    const uint32_t status = read_trigger_status(board);
    const vl_clock clock = read_clock(board);
    if (json) {
        print_json(std::cout, {{"index", session.board_index()},
                               {"serial", serial},
                               {"driver", version_json(driver)},
                               {"firmware", version_json(firmware)},
                               {"library", version_json(library)},
                               {"led", led},
                               {"led_name", name_of(led, led_names())},
                               {"trigger_polarity", polarity},
                               {"trigger_polarity_name", name_of(polarity, polarity_names())},
                               {"trigger_status", status},
                               {"trigger_status_name", name_of(status, trigger_status_names())},
                               {"clock",
                                {{"mode", clock.mode},
                                 {"mode_name", name_of(clock.mode, clock_mode_names())},
                                 {"frequency_hz", clock.frequency_hz}}}});
        return;
    }
    print_table(std::cout, {{"board", std::to_string(session.board_index())},
                            {"serial", serial},
                            {"driver", version_text(driver)},
                            {"firmware", version_text(firmware)},
                            {"library", version_text(library)},
                            {"led", name_of(led, led_names())},
                            {"trigger", name_of(polarity, polarity_names()) + ", " +
                                            name_of(status, trigger_status_names())},
                            {"clock", describe_clock(clock)}});
}

} // namespace

void add_list_commands(CLI::App& app, session_t& session, action_t& chosen) {
    auto list_json = std::make_shared<bool>(false);
    CLI::App* list = app.add_subcommand(
        "list", "List every board: index, serial number, firmware and driver versions, "
                "interface path");
    list->add_flag("--json", *list_json, "Print one JSON object instead of the table");
    list->callback([list_json, &chosen] { chosen = [list_json] { list_boards(*list_json); }; });

    auto info_json = std::make_shared<bool>(false);
    CLI::App* info = app.add_subcommand(
        "info", "Show the selected board: versions, serial, LED, trigger and clock");
    info->add_flag("--json", *info_json, "Print one JSON object instead of the table");
    info->callback([info_json, &session, &chosen] {
        chosen = [info_json, &session] { show_info(session, *info_json); };
    });
}

void add_board_commands(CLI::App& app, session_t& session, action_t& chosen) {
    add_list_commands(app, session, chosen);
    add_setting_commands(app, session, chosen);
    add_firmware_commands(app, session, chosen);
}

} // namespace velnorctl
