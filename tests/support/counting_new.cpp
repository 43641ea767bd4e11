#include "support/counting_new.h"

#include <cstdlib>
#include <new>

namespace velnor_test::heap {
std::atomic<long> allocations{0};
std::atomic<long> live{0};
std::atomic<long> fail_at{0};
} // namespace velnor_test::heap

using namespace velnor_test::heap;

void* operator new(std::size_t size) {
    const long number = ++allocations;
    if (number == fail_at) {
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        ++live;
        return p;
    }
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    if (p != nullptr) {
        --live;
    }
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    if (p != nullptr) {
        --live;
    }
    std::free(p);
}
