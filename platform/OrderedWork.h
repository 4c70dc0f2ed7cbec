#pragma once

#include <QThreadPool>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace tessaly {

// Runs work(0) ... work(count - 1) on `threads` threads and hands each result to
// `consume` on the calling thread in index order, each as soon as it and all before it
// are ready. Work items must not share mutable state.
template <typename Result>
void runInOrder(std::size_t count, int threads, const std::function<Result(std::size_t)>& work,
                const std::function<void(std::size_t, Result&)>& consume) {
    std::vector<std::optional<Result>> results(count);
    std::mutex mutex;
    std::condition_variable ready;
    QThreadPool pool;
    pool.setMaxThreadCount(threads);
    for (std::size_t i = 0; i < count; ++i) {
        pool.start([&, i] {
            Result result = work(i);
            const std::lock_guard lock(mutex);
            results[i] = std::move(result);
            ready.notify_one();
        });
    }
    for (std::size_t i = 0; i < count; ++i) {
        Result result;
        {
            std::unique_lock lock(mutex);
            ready.wait(lock, [&] { return results[i].has_value(); });
            result = std::move(*results[i]);
            results[i].reset();
        }
        consume(i, result);
    }
    pool.waitForDone();
}

} // namespace tessaly
