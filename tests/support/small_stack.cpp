#include "support/small_stack.h"

#include <exception>
#include <stdexcept>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <pthread.h>

#include <climits>
#endif

namespace strovanik::testing {

namespace {

struct Job {
    const std::function<void()>* work;
    std::exception_ptr failure;
};

void runJob(Job& job) {
    try {
        (*job.work)();
    } catch (...) {
        job.failure = std::current_exception();
    }
}

#ifdef _WIN32
DWORD WINAPI threadMain(void* job) {
    runJob(*static_cast<Job*>(job));
    return 0;
}
#endif

}  // namespace

void runOnSmallStack(std::size_t bytes, const std::function<void()>& work) {
    Job job{&work, nullptr};
#ifdef _WIN32
    // The size is what the thread's stack may grow to, not merely what it starts with.
    HANDLE thread = CreateThread(nullptr, bytes, threadMain, &job,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread == nullptr) throw std::runtime_error("no thread could be started");
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
#else
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    const auto least = static_cast<std::size_t>(PTHREAD_STACK_MIN);
    pthread_attr_setstacksize(&attributes, bytes < least ? least : bytes);
    pthread_t thread;
    const int started = pthread_create(
        &thread, &attributes,
        [](void* arg) -> void* {
            runJob(*static_cast<Job*>(arg));
            return nullptr;
        },
        &job);
    pthread_attr_destroy(&attributes);
    if (started != 0) throw std::runtime_error("no thread could be started");
    pthread_join(thread, nullptr);
#endif
    if (job.failure) std::rethrow_exception(job.failure);
}

}  // namespace strovanik::testing
