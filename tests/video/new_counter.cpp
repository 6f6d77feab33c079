// The replaced global operator new of the test binary. Kept in a file of its own so that no
// caller sees (and inlines) the replacement.
#include "video/new_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> g_counting{false};
std::atomic<int> g_calls{0};
}  // namespace

void* operator new(std::size_t size) {
    if (g_counting.load()) g_calls.fetch_add(1);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace kelpa::testing {

void StartCountingNew() {
    g_calls.store(0);
    g_counting.store(true);
}

int StopCountingNew() {
    g_counting.store(false);
    return g_calls.load();
}

}  // namespace kelpa::testing
