// The watcher's backend on Windows: a message-only window on a thread of
// its own, registered with RegisterDeviceNotificationW for the board
// interface class. The system's notifications arrive as WM_DEVICECHANGE in
// the order it sent them; the boards present are listed after the
// registration, so a board that comes or goes in between is both listed and
// notified, and the watch drops the repeat.
#include "board_source.h"
#include "utf8.h"

#include "device/discovery.h"
#include "error/system_failure.h"

#include <dbt.h>

#include <exception>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace velnor::watch {
namespace {

constexpr const wchar_t* window_class = L"VelnorWatchWindow";
// Posted by the destructor: the window's thread leaves its message loop.
constexpr UINT stop_message = WM_APP + 1;
// Wine takes a registration for device notifications into effect a little
// after RegisterDeviceNotificationW returns (the first one of a process
// waits for a listener thread); a change in between is never notified.
// Windows registers at once. So once, this long after the start, the watch
// lists the boards again and reports what changed meanwhile; a change also
// notified is dropped as a repeat.
constexpr UINT_PTR settle_timer = 1;
constexpr UINT settle_ms = 500;

using window_t = std::unique_ptr<std::remove_pointer_t<HWND>, decltype(&::DestroyWindow)>;
using registration_t =
    std::unique_ptr<std::remove_pointer_t<HDEVNOTIFY>, decltype(&::UnregisterDeviceNotification)>;

bool same_path(const std::wstring& a, const wchar_t* b) {
    // Windows spells one interface path in more than one case (the
    // notification and the configuration manager's list may differ).
    return ::CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

class win32_source_t final : public board_source_t {
public:
    explicit win32_source_t(change_sink_t& sink) : sink_(sink) {
        std::promise<void> ready;
        std::future<void> started = ready.get_future();
        thread_ = std::thread([this, &ready] { run(ready); });
        try {
            started.get();
        } catch (...) {
            thread_.join();
            throw;
        }
    }

    ~win32_source_t() override {
        // The window lives until its thread leaves the loop; a post that
        // fails (a full queue) is tried again.
        while (!::PostMessageW(window_, stop_message, 0, 0)) {
            ::Sleep(1);
        }
        thread_.join();
    }

    win32_source_t(const win32_source_t&) = delete;
    win32_source_t& operator=(const win32_source_t&) = delete;

private:
    static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
        auto* source =
            reinterpret_cast<win32_source_t*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == stop_message) {
            ::PostQuitMessage(0);
            return 0;
        }
        if (message == WM_TIMER && w == settle_timer && source != nullptr) {
            ::KillTimer(window, settle_timer);
            source->reconcile();
            return 0;
        }
        if (message == WM_DEVICECHANGE && source != nullptr &&
            (w == DBT_DEVICEARRIVAL || w == DBT_DEVICEREMOVECOMPLETE)) {
            const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(l);
            if (header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
                const auto* changed = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(l);
                if (::IsEqualGUID(changed->dbcc_classguid, board_interface_guid)) {
                    source->notified(w == DBT_DEVICEARRIVAL, changed->dbcc_name);
                }
            }
            return TRUE;
        }
        return ::DefWindowProcW(window, message, w, l);
    }

    static HINSTANCE this_module() {
        HMODULE module = nullptr;
        ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                 GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&window_proc), &module);
        return module;
    }

    static void register_class(HINSTANCE module) {
        static std::once_flag once;
        std::call_once(once, [module] {
            WNDCLASSEXW description{};
            description.cbSize = sizeof description;
            description.lpfnWndProc = &window_proc;
            description.hInstance = module;
            description.lpszClassName = window_class;
            if (::RegisterClassExW(&description) == 0 &&
                ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
                raise_last_error("RegisterClassExW failed");
            }
        });
    }

    void run(std::promise<void>& ready) noexcept {
        window_t window(nullptr, &::DestroyWindow);
        registration_t registration(nullptr, &::UnregisterDeviceNotification);
        try {
            const HINSTANCE module = this_module();
            register_class(module);
            window.reset(::CreateWindowExW(0, window_class, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                           nullptr, module, nullptr));
            if (!window) {
                raise_last_error("CreateWindowExW failed");
            }
            ::SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            DEV_BROADCAST_DEVICEINTERFACE_W filter{};
            filter.dbcc_size = sizeof filter;
            filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
            filter.dbcc_classguid = board_interface_guid;
            registration.reset(
                ::RegisterDeviceNotificationW(window.get(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
            if (!registration) {
                raise_last_error("RegisterDeviceNotificationW failed");
            }
            // After the registration: what changes from here on is notified.
            for (std::wstring& path : list_device_paths(board_interface_guid)) {
                sink_.board_changed(board_change_t::present, utf8_of(path.c_str()));
                known_.push_back(std::move(path));
            }
            window_ = window.get();
            ::SetTimer(window_, settle_timer, settle_ms, nullptr);
            ready.set_value();
        } catch (...) {
            ready.set_exception(std::current_exception());
            return;
        }
        MSG message{};
        while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
            ::DispatchMessageW(&message);
        }
    }

    // A notification, reported with the spelling of the board list.
    void notified(bool arrived, const wchar_t* name) noexcept {
        try {
            if (arrived) {
                std::wstring path = listed_spelling(name);
                sink_.board_changed(board_change_t::arrived, utf8_of(path.c_str()));
                if (!is_known(path.c_str())) {
                    known_.push_back(std::move(path));
                }
                return;
            }
            for (auto it = known_.begin(); it != known_.end(); ++it) {
                if (same_path(*it, name)) {
                    sink_.board_changed(board_change_t::removed, utf8_of(it->c_str()));
                    known_.erase(it);
                    return;
                }
            }
            sink_.board_changed(board_change_t::removed, utf8_of(name));
        } catch (...) {
            // Memory ran out: this notification is lost.
        }
    }

    // The board list against what the watch has reported: arrivals and
    // removals it missed. A list that cannot be read changes nothing.
    void reconcile() noexcept {
        try {
            std::vector<std::wstring> listed = list_device_paths(board_interface_guid);
            for (std::size_t i = 0; i < known_.size();) {
                bool present = false;
                for (const std::wstring& path : listed) {
                    present = present || same_path(path, known_[i].c_str());
                }
                if (present) {
                    ++i;
                    continue;
                }
                sink_.board_changed(board_change_t::removed, utf8_of(known_[i].c_str()));
                known_.erase(known_.begin() + static_cast<std::ptrdiff_t>(i));
            }
            for (std::wstring& path : listed) {
                if (!is_known(path.c_str())) {
                    sink_.board_changed(board_change_t::arrived, utf8_of(path.c_str()));
                    known_.push_back(std::move(path));
                }
            }
        } catch (...) {
            // The notifications go on; only this second look is lost.
        }
    }

    bool is_known(const wchar_t* name) const {
        for (const std::wstring& path : known_) {
            if (same_path(path, name)) {
                return true;
            }
        }
        return false;
    }

    // The board list's spelling of a notified name; the name itself when
    // the board has already gone again or the list cannot be read.
    static std::wstring listed_spelling(const wchar_t* name) {
        try {
            for (std::wstring& path : list_device_paths(board_interface_guid)) {
                if (same_path(path, name)) {
                    return std::move(path);
                }
            }
        } catch (const std::system_error&) {
        }
        return name;
    }

    change_sink_t& sink_;
    HWND window_ = nullptr;
    std::vector<std::wstring> known_; // spellings reported, touched by the window's thread only
    std::thread thread_;
};

} // namespace

std::unique_ptr<board_source_t> start_board_source(change_sink_t& sink) {
    return std::make_unique<win32_source_t>(sink);
}

} // namespace velnor::watch
