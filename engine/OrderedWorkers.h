#pragma once
// Jobs on worker threads with their results handed over in job order: the caller sees the same
// sequence whatever the number of threads.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

namespace kestrelan {

/// Runs jobs 0 to count - 1 on `threads` threads (at least one) and hands each result to
/// deliver(job, result) on the calling thread, in job order, as soon as it and every job before
/// it are done. Each thread makes its own worker with makeWorker() (the state its jobs share) and
/// runs a job as worker(job). An exception from makeWorker, a job or deliver ends the jobs not
/// yet begun and is rethrown here once every thread has ended.
template <class MakeWorker, class Deliver>
void runInOrder(std::size_t count, int threads, MakeWorker makeWorker, Deliver deliver)
{
    using Worker = decltype(makeWorker());
    using Result = std::invoke_result_t<Worker&, std::size_t>;

    std::vector<std::optional<Result>> results(count);
    std::exception_ptr failure; // the first one; results and failure are guarded by the mutex
    std::mutex mutex;
    std::condition_variable ready;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};

    auto work = [&] {
        try {
            auto worker = makeWorker();
            for (std::size_t k = next++; k < count && !stop; k = next++) {
                Result result = worker(k);
                std::lock_guard lock(mutex);
                results[k].emplace(std::move(result));
                ready.notify_all();
            }
        } catch (...) {
            stop = true;
            std::lock_guard lock(mutex);
            if (!failure)
                failure = std::current_exception();
            ready.notify_all();
        }
    };

    // Every thread has ended before this returns, however it returns.
    struct Threads
    {
        std::atomic<bool>& stop;
        std::vector<std::thread> list;
        ~Threads()
        {
            stop = true;
            for (auto& t : list)
                t.join();
        }
    } running{stop, {}};
    for (int t = 0; t < (threads > 0 ? threads : 1); ++t)
        running.list.emplace_back(work);

    for (std::size_t k = 0; k < count; ++k) {
        std::optional<Result> result;
        {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return results[k].has_value() || failure; });
            if (failure)
                std::rethrow_exception(failure);
            result.swap(results[k]);
        }
        deliver(k, *result);
    }
}

} // namespace kestrelan
