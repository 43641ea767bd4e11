/*
 * replay_calls.h - the platform calls answered from a loaded trace, called
 * by the calls of cfgmgr.cpp, files.cpp and ioctl.cpp under the platform's
 * lock while a replay is on. With pacing on, each sets `deadline`: the caller
 * lets go of the lock and then waits until it (wait_for) before it returns.
 */
#ifndef VELNOR_SIM_REPLAY_CALLS_H
#define VELNOR_SIM_REPLAY_CALLS_H

#include "platform_state.h"

namespace velnor::sim {

std::uint32_t replay_list_size(platform_t& p, replay_deadline_t& deadline, std::uint32_t* length,
                               const vlsim_guid* guid, const char* device_id, std::uint32_t flags);
std::uint32_t replay_list_fetch(platform_t& p, replay_deadline_t& deadline, const vlsim_guid* guid,
                                const wchar_t* device_id, wchar_t* buffer, std::uint32_t length,
                                std::uint32_t flags);
void* replay_create_file(platform_t& p, replay_deadline_t& deadline, const wchar_t* path,
                         std::uint32_t access, std::uint32_t share_mode, void* security,
                         std::uint32_t disposition, std::uint32_t flags, void* template_file);
int replay_close_handle(platform_t& p, replay_deadline_t& deadline, void* handle);
int replay_io_control(platform_t& p, replay_deadline_t& deadline, void* handle, std::uint32_t code,
                      const void* in, std::uint32_t in_length, void* out, std::uint32_t out_length,
                      std::uint32_t* bytes_returned, void* overlapped);

/* wchar_t text as UTF-16LE bytes, and back (at most `capacity` characters written). */
std::vector<std::uint8_t> utf16le_of(const wchar_t* text, std::size_t count);
std::size_t wide_of(const std::vector<std::uint8_t>& utf16, wchar_t* out, std::size_t capacity);

} // namespace velnor::sim

#endif /* VELNOR_SIM_REPLAY_CALLS_H */
