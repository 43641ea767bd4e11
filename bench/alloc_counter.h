// Counts the process's heap allocations: this program replaces the global
// operator new, so every allocation through it is seen here.
#pragma once

#include <cstdint>

namespace velnor_bench {

// Allocations made through operator new since the process started.
std::uint64_t allocation_count() noexcept;

} // namespace velnor_bench
