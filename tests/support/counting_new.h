// A global operator new that counts allocations and can fail one of them,
// for the programs that link the velnor_test_counting_new objects (the
// allocation suites and the benchmarks). Every form of new reaches it: the
// standard library's array and nothrow forms call this one.
#pragma once

#include <atomic>

namespace velnor_test::heap {

extern std::atomic<long> allocations; // every request, the failed ones included
extern std::atomic<long> live;        // allocated and not yet released
extern std::atomic<long> fail_at;     // the allocation number that throws; 0: none

} // namespace velnor_test::heap
