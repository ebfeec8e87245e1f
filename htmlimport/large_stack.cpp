// The stack is reserved address space (mapped without reserving memory), so
// it is backed by memory only as deep as the work actually goes. A page
// below it is left inaccessible, so running past its end faults at once
// instead of writing over other memory. The calling thread switches to it
// with swapcontext and comes back when the work returns.
#include "htmlimport/large_stack.h"

#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdint>

#include "core/address_sanitizer.h"

#if defined(TALIX_ADDRESS_SANITIZER)
#include <sanitizer/common_interface_defs.h>
#define TALIX_SWITCHES_ANNOUNCED 1
#endif

namespace talix {

namespace {

struct Job {
    void (*work)(void*);
    void* data;
    bool finished = false;
    ucontext_t caller{};
    // Where the caller's stack lies, for the address checker's bookkeeping.
    const void* callerBottom = nullptr;
    std::size_t callerSize = 0;
};

// makecontext passes int arguments only: the job's address goes in two halves.
void Enter(unsigned int high, unsigned int low) {
    auto* job = reinterpret_cast<Job*>((static_cast<std::uintptr_t>(high) << 32) | low);
#ifdef TALIX_SWITCHES_ANNOUNCED
    __sanitizer_finish_switch_fiber(nullptr, &job->callerBottom, &job->callerSize);
#endif
    try {
        job->work(job->data);
        job->finished = true;
    } catch (...) {
        job->finished = false;
    }
#ifdef TALIX_SWITCHES_ANNOUNCED
    // This stack is left for good: nothing of it is kept.
    __sanitizer_start_switch_fiber(nullptr, job->callerBottom, job->callerSize);
#endif
    // Returning resumes the caller's context (uc_link).
}

} // namespace

bool RunOnLargeStack(std::size_t stackBytes, void (*work)(void* data), void* data) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t size = (stackBytes + page - 1) / page * page;
    const std::size_t mapped = size + page;
    void* region = mmap(nullptr, mapped, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (region == MAP_FAILED) return false;
    if (mprotect(region, page, PROT_NONE) != 0) {
        munmap(region, mapped);
        return false;
    }
    char* stack = static_cast<char*>(region) + page;

    Job job{work, data};
    ucontext_t context{};
    if (getcontext(&context) != 0) {
        munmap(region, mapped);
        return false;
    }
    context.uc_stack.ss_sp = stack;
    context.uc_stack.ss_size = size;
    context.uc_link = &job.caller;
    const auto address = reinterpret_cast<std::uintptr_t>(&job);
    makecontext(&context, reinterpret_cast<void (*)()>(Enter), 2,
                static_cast<unsigned int>(address >> 32), static_cast<unsigned int>(address & 0xFFFFFFFFu));

#ifdef TALIX_SWITCHES_ANNOUNCED
    void* fakeStack = nullptr;
    __sanitizer_start_switch_fiber(&fakeStack, stack, size);
#endif
    const bool switched = swapcontext(&job.caller, &context) == 0;
#ifdef TALIX_SWITCHES_ANNOUNCED
    __sanitizer_finish_switch_fiber(fakeStack, nullptr, nullptr);
#endif
    munmap(region, mapped);
    return switched && job.finished;
}

} // namespace talix
