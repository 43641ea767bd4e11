#include "board_queries.h"
#include "commands.h"
#include "errors.h"
#include "files.h"
#include "firmware_image.h"
#include "firmware_update.h"
#include "output.h"
#include "terminal.h"

#include <cstdio>
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
    double timeout_seconds = 30.0;
    bool verify = false;
};

std::string describe_image(const image_info_t& info) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "0x%08x", static_cast<unsigned>(info.payload_crc32));
    const std::string numbers = std::to_string(info.version.major) + "." +
                                std::to_string(info.version.minor) + "." +
                                std::to_string(info.version.patch);
    std::string text = "firmware " + numbers;
    if (info.version.text != numbers) {
        text += " \"" + info.version.text + "\"";
    }
    return text + ", " + std::to_string(info.payload_length) + "-byte payload, CRC-32 " + crc;
}

void pack(const pack_arguments_t& arguments) {
    image_version_t version = parse_image_version(arguments.version);
    if (!arguments.text.empty()) {
        version.text = arguments.text;
    }
    const std::vector<uint8_t> image = pack_image(version, read_file(arguments.payload));
    write_file(arguments.output, image);
    std::cout << arguments.output << ": " << describe_image(check_image(image)) << '\n';
}

void check_only(const std::string& path) {
    std::cout << path << ": " << describe_image(check_image(read_file(path))) << '\n';
}

void update(session_t& session, const update_arguments_t& arguments) {
    const std::vector<uint8_t> image = read_file(arguments.image);
    const image_info_t info = check_image(image);
    std::cout << arguments.image << ": " << describe_image(info) << '\n';
    update_options_t options;
    options.timeout =
        std::chrono::milliseconds(static_cast<int64_t>(arguments.timeout_seconds * 1000));
    options.verify = arguments.verify;
    options.terminal = stdout_is_terminal();
    const vl_version reported = update_firmware(session.board(), image, info, options, std::cout);
    std::cout << "firmware now " << version_text(reported)
              << (arguments.verify ? " (verified)" : "") << '\n';
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

    auto checked = std::make_shared<std::string>();
    CLI::App* check_command =
        firmware->add_subcommand("check", "Check an image file and show its header");
    check_command->add_option("image", *checked, "The VLFW image file")->required();
    check_command->callback([=, &chosen] { chosen = [=] { check_only(*checked); }; });

    auto updated = std::make_shared<update_arguments_t>();
    CLI::App* update_command = firmware->add_subcommand(
        "update", "Check an image, send it to the board and read the new version back");
    update_command->add_option("image", updated->image, "The VLFW image file")->required();
    update_command->add_flag("--verify", updated->verify,
                             "Fail unless the board then reports the image's version");
    update_command
        ->add_option("--timeout", updated->timeout_seconds,
                     "Seconds to wait for the erase and for the verification (default 30)")
        ->check(CLI::Range(0.0, 3600.0));
    update_command->callback(
        [=, &session, &chosen] { chosen = [=, &session] { update(session, *updated); }; });
}

} // namespace velnorctl
