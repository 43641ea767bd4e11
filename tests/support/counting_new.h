// A global operator new that counts allocations and can fail one of them,
// for the binaries that link support/counting_new.cpp.
#pragma once

#include <atomic>

namespace velnor_test::heap {

extern std::atomic<long> allocations; // every request, the failed ones included
extern std::atomic<long> live;        // allocated and not yet released
extern std::atomic<long> fail_at;     // the allocation number that throws; 0: none

} // namespace velnor_test::heap
