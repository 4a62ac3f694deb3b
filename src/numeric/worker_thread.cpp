#include "numeric/worker_thread.hpp"

#include <sched.h>

#include <cerrno>
#include <exception>
#include <system_error>

namespace nongauss {

WorkerThread& WorkerThread::operator=(WorkerThread&& other) noexcept {
    if (this != &other) {
        join();
        handle_ = std::exchange(other.handle_, pthread_t{});
        running_ = std::exchange(other.running_, false);
    }
    return *this;
}

void WorkerThread::join() noexcept {
    if (!running_) return;
    pthread_join(handle_, nullptr);
    running_ = false;
}

namespace {

// What a new thread starts with: its task, and the cores it may use once it
// runs when it was started on fewer.
struct Context {
    std::unique_ptr<WorkerThread::TaskBase> task;
    bool restricted = false;
    cpu_set_t allowed{};
};

void* thread_entry(void* p) {
    const std::unique_ptr<Context> context(static_cast<Context*>(p));
    if (context->restricted) pthread_setaffinity_np(pthread_self(), sizeof context->allowed, &context->allowed);
    try {
        context->task->run();
    } catch (...) {
        std::terminate();
    }
    return nullptr;
}

}  // namespace

void WorkerThread::start(std::unique_ptr<TaskBase> task) {
    auto context = std::make_unique<Context>();
    context->task = std::move(task);

    pthread_attr_t attr;
    int error = pthread_attr_init(&attr);
    if (error != 0) throw std::system_error(error, std::generic_category(), "pthread_attr_init");
    // Started on the cores the process may use other than this one, where
    // there are such.
    if (sched_getaffinity(0, sizeof context->allowed, &context->allowed) == 0) {
        const int here = sched_getcpu();
        cpu_set_t others = context->allowed;
        if (here >= 0 && here < CPU_SETSIZE) CPU_CLR(here, &others);
        if (CPU_COUNT(&others) > 0 && CPU_COUNT(&others) < CPU_COUNT(&context->allowed))
            context->restricted = pthread_attr_setaffinity_np(&attr, sizeof others, &others) == 0;
    }
    error = pthread_create(&handle_, &attr, thread_entry, context.get());
    pthread_attr_destroy(&attr);
    if (error != 0 && context->restricted) {
        // The placement was refused (the affinity changed meanwhile): an
        // ordinary thread.
        context->restricted = false;
        error = pthread_create(&handle_, nullptr, thread_entry, context.get());
    }
    if (error != 0) throw std::system_error(error, std::generic_category(), "pthread_create");
    context.release();  // the thread owns it now
    running_ = true;
}

}  // namespace nongauss
