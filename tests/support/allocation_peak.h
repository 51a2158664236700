#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// The most heap memory held, above what was held at the start, while a piece of code runs:
// counted through the sanitizer allocator's hooks, so only in builds with AddressSanitizer (the
// asan preset and the fuzzers). Elsewhere nothing is counted, and `counted()` says so.
#if defined(__SANITIZE_ADDRESS__)
#define STROVANIK_ALLOCATIONS_COUNTED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define STROVANIK_ALLOCATIONS_COUNTED 1
#endif
#endif

#ifdef STROVANIK_ALLOCATIONS_COUNTED
extern "C" {
// The sanitizer runtime's own interface (sanitizer/allocator_interface.h, which GCC does not
// ship).
int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                  std::size_t),
                                              void (*free_hook)(const volatile void*));
std::size_t __sanitizer_get_allocated_size(const volatile void* p);
}
#endif

namespace strovanik::testing {

class AllocationPeak {
public:
    static constexpr bool counted() {
#ifdef STROVANIK_ALLOCATIONS_COUNTED
        return true;
#else
        return false;
#endif
    }

    // Counts from now on, from what is held now; one at a time.
    AllocationPeak() {
#ifdef STROVANIK_ALLOCATIONS_COUNTED
        static const bool installed = __sanitizer_install_malloc_and_free_hooks(
                                          &AllocationPeak::allocated, &AllocationPeak::freed) != 0;
        installed_ = installed;
#endif
        start_ = live().load();
        peak().store(start_);
    }

    // The most held above the start since then; -1 where nothing is counted.
    std::int64_t peakAbove() const { return installed_ ? peak().load() - start_ : -1; }

private:
    static std::atomic<std::int64_t>& live() {
        static std::atomic<std::int64_t> bytes{0};
        return bytes;
    }
    static std::atomic<std::int64_t>& peak() {
        static std::atomic<std::int64_t> bytes{0};
        return bytes;
    }
#ifdef STROVANIK_ALLOCATIONS_COUNTED
    static void allocated(const volatile void*, std::size_t size) {
        const std::int64_t now =
            live().fetch_add(static_cast<std::int64_t>(size)) + static_cast<std::int64_t>(size);
        std::int64_t before = peak().load();
        while (now > before && !peak().compare_exchange_weak(before, now)) {
        }
    }
    static void freed(const volatile void* p) {
        if (p != nullptr)
            live().fetch_sub(static_cast<std::int64_t>(__sanitizer_get_allocated_size(p)));
    }
#endif

    std::int64_t start_ = 0;
    bool installed_ = false;
};

}  // namespace strovanik::testing
