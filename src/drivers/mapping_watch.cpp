#include "drivers/mapping_watch.h"

#include <atomic>
#include <cstdint>
#include <mutex>

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

namespace varnoke::drivers {

namespace {

// The handler may run at any moment on the faulting thread, so the watched ranges are
// plain atomics in a fixed table: no lock, no allocation. A range is published by its
// begin address, stored last.
struct Range {
    std::atomic<bool> taken{false};
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> faulted{false};
};
static_assert(std::atomic<std::uintptr_t>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// A link maps at most two files at once; the rest is room for links on other threads.
constexpr std::size_t kSlots = 128;
constexpr std::size_t kNotWatched = kSlots;
Range ranges[kSlots];
std::uintptr_t pageSize = 4096;
struct sigaction previous {};

void passOn(int signo, siginfo_t* info, void* context) {
    if (previous.sa_flags & SA_SIGINFO) {
        previous.sa_sigaction(signo, info, context);
    } else if (previous.sa_handler == SIG_IGN) {
        return;
    } else if (previous.sa_handler == SIG_DFL) {
        // Raised again with the default action: it is delivered as this handler
        // returns, and ends the program as the fault would have without us.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(SIGBUS, &fallback, nullptr);
        raise(SIGBUS);
    } else {
        previous.sa_handler(signo);
    }
}

// BUS_ADRERR is what the kernel gives for a page wholly past the end of a mapped
// file. The page is replaced by one of zeros, so the read that faulted is retried and
// goes on; the reader learns of it through faulted().
void onBusError(int signo, siginfo_t* info, void* context) {
    if (info && info->si_code == BUS_ADRERR) {
        const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
        for (auto& range : ranges) {
            const std::uintptr_t begin = range.begin.load(std::memory_order_acquire);
            if (begin == 0 || at < begin || at >= range.end.load(std::memory_order_relaxed))
                continue;
            void* page = reinterpret_cast<void*>(at & ~(pageSize - 1));
            if (mmap(page, pageSize, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) ==
                MAP_FAILED)
                break;
            range.faulted.store(true, std::memory_order_relaxed);
            return;
        }
    }
    passOn(signo, info, context);
}

void installHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (const long size = sysconf(_SC_PAGESIZE); size > 0)
            pageSize = static_cast<std::uintptr_t>(size);
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &previous);
    });
}

} // namespace

MappingWatch::MappingWatch(const void* begin, std::size_t length) : slot_(kNotWatched) {
    if (!begin || length == 0) return;
    installHandler();
    for (std::size_t i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!ranges[i].taken.compare_exchange_strong(expected, true, std::memory_order_acquire))
            continue;
        const auto from = reinterpret_cast<std::uintptr_t>(begin);
        ranges[i].faulted.store(false, std::memory_order_relaxed);
        ranges[i].end.store(from + length, std::memory_order_relaxed);
        ranges[i].begin.store(from, std::memory_order_release);
        slot_ = i;
        return;
    }
    // Every slot taken: this range goes unwatched, as mapped files were before.
}

MappingWatch::~MappingWatch() {
    if (slot_ == kNotWatched) return;
    ranges[slot_].begin.store(0, std::memory_order_release);
    ranges[slot_].end.store(0, std::memory_order_relaxed);
    ranges[slot_].taken.store(false, std::memory_order_release);
}

bool MappingWatch::faulted() const {
    return slot_ != kNotWatched && ranges[slot_].faulted.load(std::memory_order_relaxed);
}

} // namespace varnoke::drivers
