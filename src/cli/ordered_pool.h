#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace strovanik::cli {

// How long the waiting consumer gathers results before it takes the ones at the front of the
// line: a wake-up per item costs more than analysing a small file when the machine is busy,
// but a slow file must not hold back the results before it for long.
inline constexpr auto kPoolPatience = std::chrono::milliseconds(10);

// Runs `produce(item)` for every item that `next()` hands out, until it hands out none, on
// several threads, and hands the results to `consume(i, result)` on the calling thread in the
// order the items came (i counts from 0). `next` is called by one thread at a time and only
// when a worker may take the item: a worker never runs more than `window` items ahead of the
// consumer, so at most `window` items and results are held however many there are, and a
// stream of items is read no faster than it is used. An exception from `produce` reaches the
// caller when its item's turn comes, one from `next` once the items before it are consumed;
// one from `consume` stops the workers and goes on up.
template <typename Result, typename Next, typename Produce>
class OrderedPool {
public:
    OrderedPool(Next& next, Produce& produce, unsigned workers, std::size_t window)
        : next_(next),
          produce_(produce),
          slots_(std::max<std::size_t>(window, workers)),
          run_(std::max<std::size_t>(1, slots_.size() / 2)) {
        for (unsigned w = 0; w < workers; ++w) threads_.emplace_back([this] { work(); });
    }

    // Whatever way the consumer leaves, the workers are told to stop and are joined.
    ~OrderedPool() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        workAllowed_.notify_all();
        for (std::thread& t : threads_) t.join();
    }

    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    template <typename Consume>
    void consumeAll(Consume& consume) {
        for (std::size_t i = 0;; ++i) {
            std::optional<Slot> slot = awaitSlot(i);
            if (!slot) return;
            workAllowed_.notify_one();
            if (slot->failure) std::rethrow_exception(slot->failure);
            consume(i, std::move(*slot->result));
        }
    }

private:
    using Item = decltype(std::declval<Next&>()());

    struct Slot {
        std::optional<Result> result;
        std::exception_ptr failure;
        bool ready() const { return result.has_value() || failure != nullptr; }
    };

    // What the consumer waits for, and so what wakes it.
    enum class Waiting { No, ForRun, ForFront };

    void work() {
        for (;;) {
            Item item;
            std::size_t index = 0;
            if (!take(item, index)) return;
            Slot done;
            try {
                done.result.emplace(produce_(std::move(*item)));
            } catch (...) {
                done.failure = std::current_exception();
            }
            bool wake = false;
            {
                std::lock_guard lock(mutex_);
                slots_[index % slots_.size()] = std::move(done);
                wake = worthWaking();
            }
            if (wake) resultReady_.notify_one();
        }
    }

    // Takes the next item when the window allows; false when there are no more or the run
    // stops.
    bool take(Item& item, std::size_t& index) {
        std::lock_guard feed(feedMutex_);
        {
            std::unique_lock lock(mutex_);
            workAllowed_.wait(lock, [&] {
                return stopping_ || exhausted_ || taken_ < delivered_ + slots_.size();
            });
            if (stopping_ || exhausted_) return false;
        }
        std::exception_ptr failure;
        try {
            item = next_();
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard lock(mutex_);
            if (item) {
                index = taken_++;
                return true;
            }
            exhausted_ = true;
            feedFailure_ = failure;
        }
        resultReady_.notify_one();
        return false;
    }

    // The results ready in order from the front (called under the lock).
    std::size_t readyInOrder() const {
        std::size_t ready = 0;
        while (delivered_ + ready < taken_ &&
               slots_[(delivered_ + ready) % slots_.size()].ready()) {
            ++ready;
        }
        return ready;
    }

    // Whether the waiting consumer has enough to do to be woken (called under the lock): a
    // run of results ready in order, or the last ones, or after its patience the front one.
    bool worthWaking() const {
        if (waiting_ == Waiting::No) return false;
        const std::size_t ready = readyInOrder();
        if (ready == 0) return false;
        return waiting_ == Waiting::ForFront || ready >= run_ ||
               (exhausted_ && delivered_ + ready == taken_);
    }

    // The slot of item i once it is ready; nothing when the items ran out before it.
    std::optional<Slot> awaitSlot(std::size_t i) {
        std::unique_lock lock(mutex_);
        Slot& front = slots_[i % slots_.size()];
        const auto mayGoOn = [&] { return front.ready() || (exhausted_ && i >= taken_); };
        if (!mayGoOn()) {
            waiting_ = Waiting::ForRun;
            resultReady_.wait_for(lock, kPoolPatience,
                                  [&] { return mayGoOn() && !worthWaiting(); });
            waiting_ = Waiting::ForFront;
            resultReady_.wait(lock, mayGoOn);
            waiting_ = Waiting::No;
        }
        if (!front.ready()) {
            if (feedFailure_) std::rethrow_exception(feedFailure_);
            return std::nullopt;
        }
        Slot slot = std::move(front);
        front = Slot{};
        delivered_ = i + 1;
        return slot;
    }

    // While gathering, a lone result at the front is worth waiting for company (under the
    // lock).
    bool worthWaiting() const {
        const std::size_t ready = readyInOrder();
        return ready < run_ && !(exhausted_ && delivered_ + ready == taken_);
    }

    Next& next_;
    Produce& produce_;
    std::mutex feedMutex_;  // held by the one worker that is taking an item
    std::mutex mutex_;
    std::condition_variable workAllowed_;  // a slot came free, or the run stops
    std::condition_variable resultReady_;
    std::vector<Slot> slots_;
    const std::size_t run_;
    std::size_t taken_ = 0;      // items handed out by `next`
    std::size_t delivered_ = 0;  // items handed to `consume`
    bool exhausted_ = false;     // `next` has handed out its last item
    bool stopping_ = false;
    std::exception_ptr feedFailure_;
    Waiting waiting_ = Waiting::No;
    std::vector<std::thread> threads_;
};

// The same on the calling thread alone, item after item.
template <typename Next, typename Produce, typename Consume>
void runInOrderHere(Next& next, Produce& produce, Consume& consume) {
    for (std::size_t i = 0;; ++i) {
        auto item = next();
        if (!item) return;
        consume(i, produce(std::move(*item)));
    }
}

// With one worker everything runs on the calling thread.
template <typename Result, typename Next, typename Produce, typename Consume>
void runInOrderFrom(Next next, unsigned workers, std::size_t window, Produce produce,
                    Consume consume) {
    if (workers <= 1) return runInOrderHere(next, produce, consume);
    OrderedPool<Result, Next, Produce> pool(next, produce, workers, window);
    pool.consumeAll(consume);
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
