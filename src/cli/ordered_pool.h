#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace strovanik::cli {

// Runs `produce(item)` for every item that `next()` hands out, until it hands out none, on
// `workers` threads, and hands the results to `consume(i, result)` on the calling thread in
// the order the items came (i counts from 0), each as soon as it and all before it are done.
// `next` is called by one thread at a time and only when a worker may take the item: a worker
// never runs more than `window` items ahead of the consumer, so at most `window` items and
// results are held however many there are, and a stream of items is read no faster than it
// is used. The waiting consumer is woken for a run of results rather than for each one (half
// the window ready in order, or the last ones) and looks again every kPoolPatience, so that
// slow items still show as they come. With one worker everything runs on the calling thread.
// An exception from `produce`
// reaches the caller when its item's turn comes, one from `next` once the items before it are
// consumed; one from `consume` stops the workers and goes on up.
inline constexpr auto kPoolPatience = std::chrono::milliseconds(10);

template <typename Result, typename Next, typename Produce, typename Consume>
void runInOrderFrom(Next next, unsigned workers, std::size_t window, Produce produce,
                    Consume consume) {
    if (workers <= 1) {
        for (std::size_t i = 0;; ++i) {
            auto item = next();
            if (!item) return;
            consume(i, produce(std::move(*item)));
        }
    }
    window = std::max<std::size_t>(window, workers);

    struct Slot {
        std::optional<Result> result;
        std::exception_ptr failure;
        bool ready() const { return result.has_value() || failure != nullptr; }
    };
    std::mutex feedMutex;  // held by the one worker that is taking an item
    std::mutex mutex;
    std::condition_variable workAllowed;  // a slot came free, or the run stops
    std::condition_variable resultReady;
    std::vector<Slot> slots(window);
    std::size_t taken = 0;      // items handed out by `next`
    std::size_t delivered = 0;  // items handed to `consume`
    bool exhausted = false;     // `next` has handed out its last item
    bool stopping = false;
    std::exception_ptr feedFailure;
    bool consumerWaiting = false;
    const std::size_t run = std::max<std::size_t>(1, window / 2);

    // Whether the waiting consumer has enough to do to be woken (called under the lock): a
    // run of results ready in order, or the last ones. A full window always is a run.
    const auto worthWaking = [&] {
        std::size_t ready = 0;
        while (delivered + ready < taken && slots[(delivered + ready) % window].ready()) ++ready;
        return ready > 0 && (ready >= run || (exhausted && delivered + ready == taken));
    };

    const auto work = [&] {
        for (;;) {
            decltype(next()) item;
            std::size_t index = 0;
            {
                std::lock_guard feed(feedMutex);
                {
                    std::unique_lock lock(mutex);
                    workAllowed.wait(
                        lock, [&] { return stopping || exhausted || taken < delivered + window; });
                    if (stopping || exhausted) return;
                }
                std::exception_ptr failure;
                try {
                    item = next();
                } catch (...) {
                    failure = std::current_exception();
                }
                std::lock_guard lock(mutex);
                if (item) {
                    index = taken++;
                } else {
                    exhausted = true;
                    feedFailure = failure;
                }
            }
            if (!item) {
                resultReady.notify_one();
                return;
            }
            Slot done;
            try {
                done.result.emplace(produce(std::move(*item)));
            } catch (...) {
                done.failure = std::current_exception();
            }
            bool wake = false;
            {
                std::lock_guard lock(mutex);
                slots[index % window] = std::move(done);
                wake = consumerWaiting && worthWaking();
            }
            // A wake-up per item costs more than analysing a small file when the machine is
            // busy.
            if (wake) resultReady.notify_one();
        }
    };

    std::vector<std::thread> threads;
    // Whatever way the consumer leaves, the workers are told to stop and are joined.
    struct Joiner {
        std::vector<std::thread>& threads;
        std::mutex& mutex;
        bool& stopping;
        std::condition_variable& workAllowed;
        ~Joiner() {
            {
                std::lock_guard lock(mutex);
                stopping = true;
            }
            workAllowed.notify_all();
            for (std::thread& t : threads) t.join();
        }
    } joiner{threads, mutex, stopping, workAllowed};
    for (unsigned w = 0; w < workers; ++w) threads.emplace_back(work);

    for (std::size_t i = 0;; ++i) {
        Slot slot;
        {
            std::unique_lock lock(mutex);
            Slot& waiting = slots[i % window];
            const auto mayGoOn = [&] { return waiting.ready() || (exhausted && i >= taken); };
            if (!mayGoOn()) {
                consumerWaiting = true;
                while (!mayGoOn()) resultReady.wait_for(lock, kPoolPatience);
                consumerWaiting = false;
            }
            if (!waiting.ready()) {
                if (feedFailure) std::rethrow_exception(feedFailure);
                return;
            }
            slot = std::move(waiting);
            waiting = Slot{};
            delivered = i + 1;
        }
        workAllowed.notify_one();
        if (slot.failure) std::rethrow_exception(slot.failure);
        consume(i, std::move(*slot.result));
    }
}

// The same for the items 0 to count - 1, each given to `produce` as its number. One item
// runs on the calling thread.
template <typename Result, typename Produce, typename Consume>
void runInOrder(std::size_t count, unsigned workers, std::size_t window, Produce produce,
                Consume consume) {
    std::size_t next = 0;
    runInOrderFrom<Result>(
        [&]() -> std::optional<std::size_t> {
            if (next >= count) return std::nullopt;
            return next++;
        },
        count <= 1 ? 1u : workers, window, produce, consume);
}

}  // namespace strovanik::cli
