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

// Runs `produce(i)` for every i below `count` on `workers` threads and hands the results to
// `consume(i, result)` on the calling thread in the order of i, once it and all before it
// are done. The waiting consumer is woken for a run of results rather than for each one
// (half the window ready in order, or the last ones) and looks again every kPoolPatience,
// so that slow items still show as they come. A worker never runs more than `window` items
// ahead of the consumer, so at most `window` results are held however many items there
// are. With one worker, or one item, everything runs on the calling thread. An exception
// from `produce` reaches the caller when its item's turn comes; one from `consume` stops the
// workers and goes on up.
inline constexpr auto kPoolPatience = std::chrono::milliseconds(10);

template <typename Result, typename Produce, typename Consume>
void runInOrder(std::size_t count, unsigned workers, std::size_t window, Produce produce,
                Consume consume) {
    if (workers <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) consume(i, produce(i));
        return;
    }
    window = std::max<std::size_t>(window, workers);

    struct Slot {
        std::optional<Result> result;
        std::exception_ptr failure;
        bool ready() const { return result.has_value() || failure != nullptr; }
    };
    std::mutex mutex;
    std::condition_variable workAllowed;  // a slot came free, or the run stops
    std::condition_variable resultReady;
    std::vector<Slot> slots(window);
    std::size_t next = 0;       // the first item no worker has taken
    std::size_t delivered = 0;  // items handed to `consume`
    bool stopping = false;
    bool consumerWaiting = false;
    const std::size_t run = std::max<std::size_t>(1, window / 2);

    // Whether the waiting consumer has enough to do to be woken (called under the lock): a
    // run of results ready in order, or the last ones. A full window always is a run.
    const auto worthWaking = [&] {
        std::size_t ready = 0;
        while (delivered + ready < next && slots[(delivered + ready) % window].ready()) ++ready;
        return ready > 0 && (ready >= run || delivered + ready == count);
    };

    const auto work = [&] {
        for (;;) {
            std::size_t item = 0;
            {
                std::unique_lock lock(mutex);
                workAllowed.wait(
                    lock, [&] { return stopping || next >= count || next < delivered + window; });
                if (stopping || next >= count) return;
                item = next++;
            }
            Slot done;
            try {
                done.result.emplace(produce(item));
            } catch (...) {
                done.failure = std::current_exception();
            }
            bool wake = false;
            {
                std::lock_guard lock(mutex);
                slots[item % window] = std::move(done);
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
    const unsigned started = static_cast<unsigned>(std::min<std::size_t>(workers, count));
    for (unsigned w = 0; w < started; ++w) threads.emplace_back(work);

    for (std::size_t i = 0; i < count; ++i) {
        Slot slot;
        {
            std::unique_lock lock(mutex);
            Slot& waiting = slots[i % window];
            if (!waiting.ready()) {
                consumerWaiting = true;
                while (!waiting.ready()) resultReady.wait_for(lock, kPoolPatience);
                consumerWaiting = false;
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

}  // namespace strovanik::cli
