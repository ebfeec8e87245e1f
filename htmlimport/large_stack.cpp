// A joinable thread with a stack of the asked size carries the work; the
// stack is reserved address space, backed by memory only as deep as the
// work actually goes.
#include "htmlimport/large_stack.h"

#include <pthread.h>

namespace talix {

namespace {

struct Job {
    void (*work)(void*);
    void* data;
};

void* RunJob(void* argument) {
    auto* job = static_cast<Job*>(argument);
    job->work(job->data);
    return nullptr;
}

} // namespace

bool RunOnLargeStack(std::size_t stackBytes, void (*work)(void* data), void* data) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    Job job{work, data};
    pthread_t thread;
    bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                   pthread_create(&thread, &attributes, RunJob, &job) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) return false;
    return pthread_join(thread, nullptr) == 0;
}

} // namespace talix
