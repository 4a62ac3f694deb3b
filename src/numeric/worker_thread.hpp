#pragma once

// A thread for the parallel loops, started on another core than the one the
// starting thread runs on.
//
// On the 2-core virtual machines the tool runs on, a new thread is queued on
// its parent's core while the other core sleeps: it often starts only when
// the parent is preempted, 1 to 2 ms later, and a loop split in two parts
// then runs its parts one after the other. A WorkerThread is created allowed
// only on the other cores, which wakes one of them at once (about 0.1 ms),
// and then allows itself every core the process may use again, so that the
// scheduler can move it as the load changes. With a single core allowed it is
// an ordinary thread. Which core runs a part never changes a result.

#include <memory>
#include <pthread.h>
#include <utility>

namespace nongauss {

class WorkerThread {
public:
    WorkerThread() noexcept = default;
    /// Runs body() on a new thread; throws std::system_error when no thread
    /// can be started (as std::thread does). body must not throw: an
    /// exception leaving it ends the process (as with std::thread).
    template <typename Body>
    explicit WorkerThread(Body&& body) {
        start(std::make_unique<Task<std::decay_t<Body>>>(std::forward<Body>(body)));
    }
    WorkerThread(WorkerThread&& other) noexcept
        : handle_(std::exchange(other.handle_, pthread_t{})), running_(std::exchange(other.running_, false)) {}
    WorkerThread& operator=(WorkerThread&& other) noexcept;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    /// Joins the thread if it has not been joined.
    ~WorkerThread() { join(); }

    bool joinable() const noexcept { return running_; }
    /// Waits for the thread to end (nothing when there is none).
    void join() noexcept;

    /// A body, type-erased for the thread's entry.
    struct TaskBase {
        virtual ~TaskBase() = default;
        virtual void run() = 0;
    };

private:
    template <typename Body>
    struct Task final : TaskBase {
        explicit Task(Body b) : body(std::move(b)) {}
        void run() override { body(); }
        Body body;
    };
    void start(std::unique_ptr<TaskBase> task);

    pthread_t handle_{};
    bool running_ = false;
};

}  // namespace nongauss
