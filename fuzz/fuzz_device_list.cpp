// The interface list handed to discovery: any length, any characters, any
// result from the size query and the fetch, then an open of any index.
//
// Input: boards to add, size-query result, fetch result, open outcome, index,
// then the list's characters (16 bits each; 0xFFFF takes the next 32 bits as
// one whole wchar_t).
#include "fuzz_support.h"

#include "device/discovery.h"

#include <velnor.h>
#include <velnor_sim.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using velnor_fuzz::byte_reader;

struct list_faults {
    bool size = false;
    std::uint32_t size_result = 0;
    bool fetch = false;
    std::uint32_t fetch_result = 0;

    bool any() const { return size || fetch; }
    // A forced CR_SUCCESS only leaves the call's output unwritten; any other
    // result must fail the enumeration.
    bool fail_listing() const { return (size && size_result != 0) || (fetch && fetch_result != 0); }
};

// Most inputs leave the call alone; the rest choose a CONFIGRET, known ones
// (0 to 0x3E, so 0x3B and past it too) or any 32-bit value.
bool read_configret(byte_reader& in, std::uint32_t& result) {
    const std::uint8_t choice = in.u8();
    if (choice < 0xC0) {
        return false;
    }
    result = choice == 0xFF ? in.u32() : choice - 0xC0u;
    return true;
}

enum class open_outcome { normal, fails, null_handle };

open_outcome read_open_outcome(byte_reader& in, std::uint32_t& error) {
    const std::uint8_t choice = in.u8() % 8;
    if (choice == 6) {
        static constexpr std::uint32_t errors[] = {5, 2, 32, 0, 1167};
        error = errors[in.u8() % 5];
        return open_outcome::fails;
    }
    return choice == 7 ? open_outcome::null_handle : open_outcome::normal;
}

std::size_t read_index(byte_reader& in) {
    const std::uint8_t choice = in.u8();
    return choice < 0xF0 ? choice % 8u : SIZE_MAX - (choice & 0x0Fu);
}

std::vector<wchar_t> read_list(byte_reader& in) {
    std::vector<wchar_t> list;
    while (in.remaining() >= 2) {
        const std::uint16_t unit = in.u16();
        list.push_back(unit == 0xFFFF && in.remaining() >= 4 ? static_cast<wchar_t>(in.u32())
                                                             : static_cast<wchar_t>(unit));
    }
    return list;
}

// The non-empty NUL-separated pieces, written independently of the library.
std::vector<std::wstring> pieces_of(const std::vector<wchar_t>& list) {
    std::vector<std::wstring> pieces;
    std::wstring current;
    for (wchar_t c : list) {
        if (c == L'\0') {
            if (!current.empty()) {
                pieces.push_back(current);
            }
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty()) {
        pieces.push_back(current);
    }
    return pieces;
}

void arm(const std::vector<wchar_t>& list, const list_faults& faults) {
    vlsim_clear_faults();
    vlsim_set_next_list_raw(list.empty() ? nullptr : list.data(),
                            static_cast<std::uint32_t>(list.size()));
    if (faults.size) {
        vlsim_fail_next(VLSIM_CALL_LIST_SIZE, faults.size_result);
    }
    if (faults.fetch) {
        vlsim_fail_next(VLSIM_CALL_LIST_FETCH, faults.fetch_result);
    }
}

bool is_board_path(const std::wstring& piece, int boards) {
    for (int id = 0; id < boards; ++id) {
        wchar_t path[128] = {};
        vlsim_board_path(id, path, 128);
        if (piece == path) {
            return true;
        }
    }
    return false;
}

void check_split(const std::vector<wchar_t>& list, const std::vector<std::wstring>& expected) {
    // A buffer of exactly the list's length, so reading past it is caught.
    const std::vector<wchar_t> exact(list);
    const std::vector<std::wstring> pieces =
        velnor::split_device_list(exact.data(), static_cast<ULONG>(exact.size()));
    for (const std::wstring& piece : pieces) {
        FUZZ_CHECK(!piece.empty(), "split_device_list produced an empty piece");
        FUZZ_CHECK(piece.find(L'\0') == std::wstring::npos,
                   "split_device_list produced a piece holding a NUL");
    }
    FUZZ_CHECK(pieces == expected, "split_device_list found %zu pieces, expected %zu",
               pieces.size(), expected.size());
}

void check_count(const std::vector<wchar_t>& list, const list_faults& faults,
                 const std::vector<std::wstring>& expected) {
    arm(list, faults);
    const size_t sentinel = 0xC0FFEE;
    size_t count = sentinel;
    const vl_rc rc = vl_get_device_count(&count);
    FUZZ_CHECK(velnor_fuzz::one_of(rc, {0, -5, -6}), "vl_get_device_count returned %d", rc);
    if (rc != 0) {
        FUZZ_CHECK(count == sentinel, "vl_get_device_count wrote its output and returned %d", rc);
    }
    if (faults.fail_listing()) {
        FUZZ_CHECK(rc == -5, "vl_get_device_count returned %d for a failed listing", rc);
    }
    if (!faults.any()) {
        FUZZ_CHECK(rc == 0, "vl_get_device_count returned %d for a readable list", rc);
        FUZZ_CHECK(count == expected.size(), "vl_get_device_count counted %zu, the list has %zu",
                   count, expected.size());
    }
}

bool narrow_text_holds(const std::wstring& path) {
    try {
        (void)std::filesystem::path(path).string();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void check_open(const std::vector<wchar_t>& list, const list_faults& faults,
                const std::vector<std::wstring>& expected, int boards, std::size_t index,
                open_outcome outcome, std::uint32_t error) {
    arm(list, faults);
    if (outcome == open_outcome::fails) {
        vlsim_fail_next(VLSIM_CALL_CREATE_FILE, error);
    } else if (outcome == open_outcome::null_handle) {
        vlsim_next_open_returns_null();
    }
    auto* const sentinel = reinterpret_cast<vl_device*>(0x5E17);
    vl_device* handle = sentinel;
    const vl_rc rc = vl_device_open(index, &handle);
    FUZZ_CHECK(velnor_fuzz::one_of(rc, {0, -3, -5, -6, -1}), "vl_device_open returned %d", rc);
    if (rc != 0) {
        FUZZ_CHECK(handle == sentinel, "vl_device_open wrote its handle and returned %d", rc);
    } else {
        FUZZ_CHECK(handle != nullptr && handle != sentinel, "vl_device_open gave no handle");
        const vl_rc closed = vl_device_close(handle);
        FUZZ_CHECK(closed == 0, "vl_device_close returned %d", closed);
    }
    if (faults.fail_listing()) {
        FUZZ_CHECK(rc == -5, "vl_device_open returned %d for a failed listing", rc);
    }
    if (faults.any()) {
        return;
    }
    vl_rc want = 0;
    if (index >= expected.size()) {
        want = -3;
    } else if (outcome == open_outcome::null_handle) {
        // -1 names the path in narrow text; a path that text cannot hold raises
        // the conversion's own error instead, a -5.
        want = narrow_text_holds(expected[index]) ? -1 : -5;
    } else if (outcome == open_outcome::fails || !is_board_path(expected[index], boards)) {
        want = -5;
    }
    FUZZ_CHECK(rc == want, "vl_device_open(%zu) returned %d, expected %d (%zu pieces)", index, rc,
               want, expected.size());
    if (index < expected.size()) {
        vlsim_open_record record{};
        FUZZ_CHECK(vlsim_last_open(&record) == 0, "vl_device_open did not call CreateFileW");
        const std::wstring& piece = expected[index];
        if (piece.size() < 299) {
            FUZZ_CHECK(piece == record.path, "vl_device_open(%zu) opened another path", index);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velnor_fuzz::trim_log();
    vlsim_reset();
    byte_reader in(data, size);
    const int boards = in.u8() % 4;
    for (int i = 0; i < boards; ++i) {
        vlsim_add_board(nullptr);
    }
    list_faults faults;
    faults.size = read_configret(in, faults.size_result);
    faults.fetch = read_configret(in, faults.fetch_result);
    std::uint32_t open_error = 0;
    const open_outcome outcome = read_open_outcome(in, open_error);
    const std::size_t index = read_index(in);
    const std::vector<wchar_t> list = read_list(in);
    const std::vector<std::wstring> expected = pieces_of(list);

    check_split(list, expected);
    check_count(list, faults, expected);
    check_open(list, faults, expected, boards, index, outcome, open_error);

    vlsim_clear_faults();
    FUZZ_CHECK(vlsim_open_handle_count() == 0, "%zu handles left open", vlsim_open_handle_count());
    return 0;
}
