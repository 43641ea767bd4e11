#include "board_queries.h"
#include "board_values.h"
#include "commands.h"
#include "errors.h"
#include "files.h"
#include "firmware_image.h"
#include "image_files.h"
#include "output.h"
#include "terminal.h"
#include "update_console.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

namespace velnorctl {

namespace {

struct pack_arguments_t {
    std::string payload;
    std::string output;
    std::string version;
    std::string text;
};

struct update_arguments_t {
    std::string image;
    std::string timeout = "30";
    bool verify = false;
};

struct image_arguments_t {
    std::string image;
    bool json = false;
};

std::string numbers_of(const image_version_t& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch);
}

std::string hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(value));
    return text;
}

std::string describe_image(const image_info_t& info) {
    const std::string numbers = numbers_of(info.version);
    std::string text = "firmware " + numbers;
    if (info.version.text != numbers) {
        text += " \"" + printable(info.version.text) + "\"";
    }
    return text + ", " + std::to_string(info.payload_length) + "-byte payload, CRC-32 " +
           hex32(info.payload_crc32);
}

// Seconds from 0 to 3600; anything else (nan, inf, negative) is a usage error.
std::chrono::milliseconds parse_timeout(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(seconds) ||
        seconds < 0 || seconds > 3600) {
        throw tool_error_t(exit_code_t::usage, "--timeout '" + printable(text) +
                                                   "' is not a number of seconds from 0 to 3600");
    }
    return std::chrono::milliseconds(static_cast<int64_t>(seconds * 1000));
}

void pack(const pack_arguments_t& arguments) {
    image_version_t version = parse_image_version(arguments.version);
    if (!arguments.text.empty()) {
        version.text = arguments.text;
    }
    const std::vector<uint8_t> image = pack_image(version, read_payload(arguments.payload));
    write_file(arguments.output, image);
    std::cout << printable(arguments.output) << ": " << describe_image(check_image(image)) << '\n';
}

void check_only(const image_arguments_t& arguments) {
    const image_info_t info = check_image(read_image(arguments.image));
    if (!arguments.json) {
        std::cout << printable(arguments.image) << ": " << describe_image(info) << '\n';
        return;
    }
    print_json(std::cout, {{"image", arguments.image},
                           {"version",
                            {{"major", info.version.major},
                             {"minor", info.version.minor},
                             {"patch", info.version.patch},
                             {"text", info.version.text}}},
                           {"payload_length", info.payload_length},
                           {"payload_crc32", info.payload_crc32}});
}

void update(session_t& session, const update_arguments_t& arguments) {
    update_options_t options;
    options.timeout = parse_timeout(arguments.timeout);
    options.verify = arguments.verify;
    options.terminal = stdout_is_terminal();
    options.pace = session.update_pace;
    vl_device* board = session.board(); // the board is settled before anything is printed
    const std::vector<uint8_t> image = read_image(arguments.image);
    const image_info_t info = check_image(image);
    std::cout << printable(arguments.image) << ": " << describe_image(info) << std::endl;
    if (!std::cout) { // no update is begun whose progress nobody can follow
        throw tool_error_t(exit_code_t::file, "cannot write to standard output");
    }
    const vl_version reported = update_firmware(board, image, info, options, std::cout);
    std::cout << "firmware now " << printable(version_text(reported))
              << (arguments.verify ? " (verified)" : "") << '\n';
}

void show_status(session_t& session, bool json) {
    const update_status_t status = read_update_status(session.board());
    const std::string state = name_of(status.state, update_state_names());
    if (json) {
        print_json(
            std::cout,
            {{"state", status.state}, {"state_name", state}, {"bytes_received", status.received}});
    } else {
        std::cout << state << ", " << status.received << " bytes received\n";
    }
}

void reset(session_t& session) {
    VLCTL_CALL(vl_device_update_reset, session.board());
    show_status(session, false);
}

} // namespace

void add_firmware_commands(CLI::App& app, session_t& session, action_t& chosen) {
    CLI::App* firmware = app.add_subcommand("firmware", "Build, check and install firmware images");
    firmware->require_subcommand(1);

    auto packed = std::make_shared<pack_arguments_t>();
    CLI::App* pack_command =
        firmware->add_subcommand("pack", "Build a VLFW image from a payload file and a version");
    pack_command->add_option("payload", packed->payload, "The firmware payload file")->required();
    pack_command->add_option("-o,--output", packed->output, "The image file to write")->required();
    pack_command->add_option("--version", packed->version, "MAJOR.MINOR.PATCH")->required();
    pack_command->add_option("--text", packed->text,
                             "Version text (up to 32 characters; default the version)");
    pack_command->callback([=, &chosen] { chosen = [=] { pack(*packed); }; });

    auto checked = std::make_shared<image_arguments_t>();
    CLI::App* check_command = firmware->add_subcommand(
        "check", "Check an image file and show its header (nothing is printed when it is bad)");
    check_command->add_option("image", checked->image, "The VLFW image file")->required();
    check_command->add_flag("--json", checked->json, "Print one JSON object");
    check_command->callback([=, &chosen] { chosen = [=] { check_only(*checked); }; });

    auto updated = std::make_shared<update_arguments_t>();
    CLI::App* update_command = firmware->add_subcommand(
        "update", "Check an image, send it to the board and read the new version back; on "
                  "Ctrl-C or SIGTERM the board's update is reset first");
    update_command->add_option("image", updated->image, "The VLFW image file")->required();
    update_command->add_flag("--verify", updated->verify,
                             "Fail unless the board then reports the image's version");
    update_command->add_option(
        "--timeout", updated->timeout,
        "Seconds (0 to 3600) to wait for the erase and for the verification (default 30)");
    update_command->callback(
        [=, &session, &chosen] { chosen = [=, &session] { update(session, *updated); }; });

    auto status_json = std::make_shared<bool>(false);
    CLI::App* status_command = firmware->add_subcommand(
        "status", "Show the board's update state and the image bytes it has received");
    status_command->add_flag("--json", *status_json, "Print one JSON object");
    status_command->callback(
        [=, &session, &chosen] { chosen = [=, &session] { show_status(session, *status_json); }; });

    firmware
        ->add_subcommand("reset",
                         "Abandon any update the board has begun (back to idle) and show its "
                         "state")
        ->callback([&session, &chosen] { chosen = [&session] { reset(session); }; });
}

} // namespace velnorctl
