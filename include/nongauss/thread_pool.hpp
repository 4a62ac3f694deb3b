#pragma once

// The threads an analysis may use. A program makes one pool (in main) and
// passes it to every call that may spread its work; the library starts no
// thread of its own and keeps no threads between calls that are not a pool's.
//
//   nongauss::ThreadPool pool;                 // the processor's count
//   nongauss::ScaleOptions options;
//   options.pool = &pool;
//   nongauss::Result r = nongauss::analyse(series, settings, options);
//
// The calling thread always takes part in the work it hands to the pool, and
// runs whatever no worker has taken, so a pool of one thread (no worker) is
// a plain loop, and a call never waits for a worker that is busy elsewhere:
// several threads may use one pool at once. Which thread runs a part never
// changes a result.

#include <memory>
#include <type_traits>
#include <utility>

namespace nongauss {

/// A callable passed down without copying it (it must outlive the call it is
/// passed to, as a lambda written in the call's arguments does).
template <typename Signature>
class FunctionRef;

template <typename R, typename... Args>
class FunctionRef<R(Args...)> {
public:
    template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, FunctionRef>>>
    FunctionRef(F&& f) noexcept  // NOLINT: converts implicitly, as std::function does
        : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
          call_([](void* object, Args... args) -> R {
              return (*static_cast<std::remove_reference_t<F>*>(object))(std::forward<Args>(args)...);
          }) {}
    R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

private:
    void* object_;
    R (*call_)(void*, Args...);
};

class ThreadPool {
public:
    /// A pool of `threads` threads in all, the calling thread of each job
    /// counted: 0 = the processor's count (at most 16), 1 = the calling
    /// thread alone (no thread is started). Threads that the system refuses
    /// to start are done without (size() says how many there are).
    explicit ThreadPool(int threads = 0);
    /// Ends the workers (every job has ended: a job ends before the call that
    /// made it returns).
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    /// The threads that work on a job: the workers and the calling thread.
    int size() const noexcept;

    /// The size of ThreadPool(0): the processor's count, at least 1, at most 16.
    static int processor_count() noexcept;

    /// Splits [first, last) into consecutive parts of at least `min_part`
    /// iterations each (one part when the range is shorter), at most
    /// `max_parts` of them (size() when max_parts <= 0), and calls
    /// body(part, begin, end) for every part, part = 0, 1, ...: part 0 on the
    /// calling thread, the others on whichever thread takes them first.
    /// Returns when all parts are done. When bodies throw, every part still
    /// ends first, then the exception of the lowest-numbered part that threw
    /// is rethrown.
    void parallel_parts(long first, long last, long min_part, FunctionRef<void(int, long, long)> body,
                        int max_parts = 0);

    /// Results handed back in order: produce(i) for i = 0 .. count-1 runs on
    /// any thread, in increasing order of starting, at most `window` (>= 1)
    /// items ahead of the last one consumed; consume(i) runs on the calling
    /// thread, for i = 0, 1, ... in order, each once produce(i) has returned.
    /// When produce(i) throws, no item after i is started; the items before
    /// i are consumed, then the exception is rethrown once the items started
    /// have ended. When consume throws, the items started end and its
    /// exception is rethrown.
    void ordered(long count, long window, FunctionRef<void(long)> produce, FunctionRef<void(long)> consume);

    /// Runs `background` on a worker while the calling thread runs
    /// `foreground` (or on the calling thread afterwards, when no worker has
    /// taken it). Returns once both have run; then rethrows what foreground
    /// threw, otherwise what background threw.
    void beside(FunctionRef<void()> background, FunctionRef<void()> foreground);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace nongauss
