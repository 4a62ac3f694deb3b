#include "nongauss/thread_pool.hpp"

#include <pthread.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <list>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace nongauss {

namespace {

// A job: units of work that any thread of the pool may claim, one at a time.
// Everything but run() is called with the pool's mutex held.
class Job {
public:
    virtual ~Job() = default;
    /// A unit can be claimed now.
    virtual bool claimable() const = 0;
    /// Claims the next unit (claimable() is true).
    virtual long claim() = 0;
    /// Runs a claimed unit, without the mutex; never throws.
    virtual void run(long unit) noexcept = 0;
    /// A unit run has ended.
    virtual void finished(long unit) = 0;
};

}  // namespace

struct ThreadPool::Impl {
    std::mutex mutex;
    // Notified when a job is added, a unit ends, or the pool stops: workers
    // wait for work here, and threads waiting for a job's units to end.
    std::condition_variable changed;
    std::list<Job*> jobs;  // in the order they were added
    bool stopping = false;
    std::vector<std::thread> workers;
    // Counts the notifications of `changed`; changed only under the mutex.
    std::atomic<unsigned long> epoch{0};

    // Notifies `changed` (the mutex held).
    void notify() {
        epoch.store(epoch.load(std::memory_order_relaxed) + 1, std::memory_order_release);
        changed.notify_all();
    }

    // Waits for the next notification (`lock` holds the mutex, and holds it
    // again on return). A thread put to sleep takes a tenth of a millisecond
    // or more to run again once woken, and the stages of one analysis hand
    // work to each other many times a run: so the thread first looks for the
    // notification without the mutex for a short while, giving the processor
    // to any other runnable thread meanwhile, and sleeps only after that.
    void idle(std::unique_lock<std::mutex>& lock) {
        const unsigned long seen = epoch.load(std::memory_order_relaxed);
        lock.unlock();
        const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
        while (epoch.load(std::memory_order_acquire) == seen && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        lock.lock();
        // A notification comes with the mutex held, so none is missed
        // between this test and the wait.
        if (epoch.load(std::memory_order_relaxed) == seen) changed.wait(lock);
    }

    // Runs one unit of the first job that has one to claim; false when none
    // has. `lock` holds the mutex, and holds it again on return.
    bool help(std::unique_lock<std::mutex>& lock) {
        for (Job* job : jobs) {
            if (!job->claimable()) continue;
            const long unit = job->claim();
            lock.unlock();
            job->run(unit);
            lock.lock();
            job->finished(unit);
            notify();
            return true;
        }
        return false;
    }

    // Waits until done() holds, running units of any job meanwhile.
    template <typename Done>
    void wait_helping(std::unique_lock<std::mutex>& lock, const Done& done) {
        while (!done())
            if (!help(lock)) idle(lock);
    }

    void add(Job* job) {
        jobs.push_back(job);
        notify();
    }

    void remove(Job* job) { jobs.remove(job); }

    void work() {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping)
            if (!help(lock)) idle(lock);
    }
};

int ThreadPool::processor_count() noexcept {
    const unsigned hardware = std::thread::hardware_concurrency();
    return hardware < 1 ? 1 : (hardware > 16 ? 16 : static_cast<int>(hardware));
}

ThreadPool::ThreadPool(int threads) : impl_(std::make_unique<Impl>()) {
    const int n = threads > 0 ? threads : processor_count();
    impl_->workers.reserve(static_cast<std::size_t>(n - 1));
    for (int k = 1; k < n; ++k) {
        try {
            impl_->workers.emplace_back([impl = impl_.get()] { impl->work(); });
        } catch (const std::system_error&) {
            break;  // the threads started do the work
        }
    }
}

ThreadPool::~ThreadPool() {
    {
        const std::lock_guard<std::mutex> lock(impl_->mutex);
        impl_->stopping = true;
        impl_->notify();
    }
    for (auto& t : impl_->workers) t.join();
}

int ThreadPool::size() const noexcept { return static_cast<int>(impl_->workers.size()) + 1; }

namespace {

class PartsJob final : public Job {
public:
    PartsJob(long first, long count, long parts, FunctionRef<void(int, long, long)> body)
        : first_(first), count_(count), parts_(parts), body_(body), failed_(static_cast<std::size_t>(parts)) {}

    bool claimable() const override { return next_ < parts_; }
    long claim() override { return next_++; }
    void run(long part) noexcept override {
        try {
            body_(static_cast<int>(part), bound(part), bound(part + 1));
        } catch (...) {
            failed_[static_cast<std::size_t>(part)] = std::current_exception();
        }
    }
    void finished(long) override { ++done_; }

    bool all_done() const { return done_ == parts_; }
    void rethrow() const {
        for (const auto& e : failed_)
            if (e) std::rethrow_exception(e);
    }

private:
    long bound(long k) const { return first_ + count_ / parts_ * k + count_ % parts_ * k / parts_; }

    long first_, count_, parts_;
    FunctionRef<void(int, long, long)> body_;
    std::vector<std::exception_ptr> failed_;
    long next_ = 0;
    long done_ = 0;
};

}  // namespace

void ThreadPool::parallel_parts(long first, long last, long min_part, FunctionRef<void(int, long, long)> body,
                                int max_parts) {
    const long count = last - first;
    if (count <= 0) return;
    long parts = max_parts > 0 ? max_parts : size();
    if (min_part < 1) min_part = 1;
    if (count / min_part < parts) parts = count / min_part;
    if (parts <= 1) {
        body(0, first, last);
        return;
    }
    PartsJob job(first, count, parts, body);
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->add(&job);
    // Part 0 first, then the parts no worker has taken, then whatever else
    // there is to do until the parts taken have ended.
    while (job.claimable()) {
        const long part = job.claim();
        lock.unlock();
        job.run(part);
        lock.lock();
        job.finished(part);
    }
    impl_->notify();
    impl_->wait_helping(lock, [&job] { return job.all_done(); });
    impl_->remove(&job);
    lock.unlock();
    job.rethrow();
}

namespace {

class OrderedJob final : public Job {
public:
    OrderedJob(long count, long window, FunctionRef<void(long)> produce)
        : count_(count), window_(window < 1 ? 1 : window), produce_(produce),
          ready_(static_cast<std::size_t>(count), 0), failed_(static_cast<std::size_t>(count)) {}

    bool claimable() const override { return !stopped_ && next_ < count_ && next_ < consumed_ + window_; }
    long claim() override { return next_++; }
    // Without the mutex: an item's failure goes to its own slot, and
    // finished() (with the mutex) takes it from there.
    void run(long item) noexcept override {
        try {
            produce_(item);
        } catch (...) {
            failed_[static_cast<std::size_t>(item)] = std::current_exception();
        }
    }
    void finished(long item) override {
        const auto k = static_cast<std::size_t>(item);
        ready_[k] = 1;
        ++done_;
        // Only the first failure in order counts (items are started in order).
        if (failed_[k] && (!failure_ || item < failed_at_)) {
            failure_ = std::move(failed_[k]);
            failed_at_ = item;
        }
        if (failure_) stopped_ = true;
    }

    // Items of the failure path are read with the mutex held.
    long count_;
    long window_;
    FunctionRef<void(long)> produce_;
    std::vector<char> ready_;
    std::vector<std::exception_ptr> failed_;  // each slot written by the thread that runs the item
    long next_ = 0;
    long done_ = 0;
    long consumed_ = 0;
    bool stopped_ = false;
    std::exception_ptr failure_;
    long failed_at_ = 0;
};

}  // namespace

void ThreadPool::ordered(long count, long window, FunctionRef<void(long)> produce, FunctionRef<void(long)> consume) {
    if (count <= 0) return;
    OrderedJob job(count, window, produce);
    std::exception_ptr failure;
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->add(&job);
    while (job.consumed_ < count) {
        const long next = job.consumed_;
        if (job.failure_ && job.failed_at_ == next) break;
        if (job.ready_[static_cast<std::size_t>(next)]) {
            lock.unlock();
            try {
                consume(next);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            if (failure) break;
            ++job.consumed_;
            impl_->notify();  // the window moved on
            continue;
        }
        if (job.claimable()) {
            const long item = job.claim();
            lock.unlock();
            job.run(item);
            lock.lock();
            job.finished(item);
            impl_->notify();
            continue;
        }
        if (!impl_->help(lock)) impl_->idle(lock);
    }
    // Nothing more starts; the items started end.
    job.stopped_ = true;
    impl_->wait_helping(lock, [&job] { return job.done_ == job.next_; });
    impl_->remove(&job);
    lock.unlock();
    if (failure) std::rethrow_exception(failure);
    if (job.failure_) std::rethrow_exception(job.failure_);
}

namespace {

class BesideJob final : public Job {
public:
    explicit BesideJob(FunctionRef<void()> task) : task_(task) {}
    bool claimable() const override { return !claimed_; }
    long claim() override {
        claimed_ = true;
        return 0;
    }
    void run(long) noexcept override {
        try {
            task_();
        } catch (...) {
            failure_ = std::current_exception();
        }
    }
    void finished(long) override { done_ = true; }

    FunctionRef<void()> task_;
    bool claimed_ = false;
    bool done_ = false;
    std::exception_ptr failure_;
};

}  // namespace

void ThreadPool::beside(FunctionRef<void()> background, FunctionRef<void()> foreground) {
    BesideJob job(background);
    std::unique_lock<std::mutex> lock(impl_->mutex);
    impl_->add(&job);
    lock.unlock();
    std::exception_ptr failure;
    try {
        foreground();
    } catch (...) {
        failure = std::current_exception();
    }
    lock.lock();
    if (job.claimable()) {
        job.claim();
        lock.unlock();
        job.run(0);
        lock.lock();
        job.finished(0);
    }
    impl_->wait_helping(lock, [&job] { return job.done_; });
    impl_->remove(&job);
    lock.unlock();
    if (failure) std::rethrow_exception(failure);
    if (job.failure_) std::rethrow_exception(job.failure_);
}

}  // namespace nongauss
