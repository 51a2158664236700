#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "cli/ordered_pool.h"

// The workers of a batch: results in the order of the items whatever order they finish in,
// never more than the window held, and failures that reach the caller instead of a hang.
namespace strovanik::testing {
namespace {

using cli::runInOrder;
using cli::runInOrderFrom;

struct Held {
    int item;
    Held(int i, std::atomic<int>& alive) : item(i), alive_(&alive) { ++alive; }
    Held(Held&& other) noexcept : item(other.item), alive_(other.alive_) { other.alive_ = nullptr; }
    Held& operator=(Held&& other) noexcept {
        release();
        item = other.item;
        alive_ = other.alive_;
        other.alive_ = nullptr;
        return *this;
    }
    ~Held() { release(); }

private:
    void release() {
        if (alive_ != nullptr) --*alive_;
        alive_ = nullptr;
    }
    std::atomic<int>* alive_;
};

TEST(OrderedPool, ResultsComeInItemOrderAndTheWindowBoundsWhatIsHeld) {
    const struct {
        std::size_t count;
        unsigned workers;
        std::size_t window;
    } cases[] = {
        {0, 4, 8}, {1, 4, 8}, {2, 2, 2}, {100, 1, 4}, {200, 2, 4}, {300, 4, 8}, {64, 8, 3},
    };
    for (const auto& c : cases) {
        std::atomic<int> alive{0};
        std::atomic<int> mostAlive{0};
        std::vector<int> seen;
        runInOrder<Held>(
            c.count, c.workers, c.window,
            [&](std::size_t i) {
                // Uneven work so that later items often finish first.
                std::mt19937 random(static_cast<unsigned>(i));
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 400));
                Held held(static_cast<int>(i), alive);
                int now = alive.load();
                int most = mostAlive.load();
                while (now > most && !mostAlive.compare_exchange_weak(most, now)) {
                }
                return held;
            },
            [&](std::size_t i, Held&& held) {
                EXPECT_EQ(static_cast<std::size_t>(held.item), i);
                seen.push_back(held.item);
            });
        ASSERT_EQ(seen.size(), c.count);
        for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], static_cast<int>(i));
        // The window counts the results waiting and those being made; the consumer holds
        // one more while it writes it.
        const std::size_t window = std::max<std::size_t>(c.window, c.workers);
        EXPECT_LE(static_cast<std::size_t>(mostAlive.load()), window + 1)
            << c.count << " items, " << c.workers << " workers";
        EXPECT_EQ(alive.load(), 0);
    }
}

// The writer is woken for runs of results, yet one that is ready is not held back by the
// slow items after it: here they cannot even finish before the first result is written.
TEST(OrderedPool, AReadyResultIsHandedOnWhileTheNextOnesTakeLong) {
    std::mutex mutex;
    std::condition_variable written;
    bool firstWritten = false;
    bool waitedInVain = false;
    std::vector<std::size_t> seen;
    runInOrder<int>(
        4, 2, 8,
        [&](std::size_t i) {
            if (i > 0) {
                std::unique_lock lock(mutex);
                if (!written.wait_for(lock, std::chrono::seconds(20), [&] { return firstWritten; }))
                    waitedInVain = true;
            }
            return static_cast<int>(i);
        },
        [&](std::size_t i, int) {
            seen.push_back(i);
            if (i == 0) {
                std::lock_guard lock(mutex);
                firstWritten = true;
                written.notify_all();
            }
        });
    EXPECT_FALSE(waitedInVain);
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 2, 3}));
}

TEST(OrderedPool, AFailingItemReachesTheCallerInItsTurn) {
    for (const unsigned workers : {1u, 3u}) {
        std::vector<std::size_t> consumed;
        EXPECT_THROW(runInOrder<int>(
                         50, workers, 4,
                         [](std::size_t i) {
                             if (i == 20) throw std::runtime_error("item 20");
                             return static_cast<int>(i);
                         },
                         [&](std::size_t i, int) { consumed.push_back(i); }),
                     std::runtime_error);
        ASSERT_EQ(consumed.size(), 20u) << workers << " workers";
        EXPECT_EQ(consumed.back(), 19u);
    }
}

TEST(OrderedPool, AFailingConsumerStopsTheWorkers) {
    std::atomic<int> produced{0};
    EXPECT_THROW(runInOrder<int>(
                     10'000, 4, 8,
                     [&](std::size_t i) {
                         ++produced;
                         return static_cast<int>(i);
                     },
                     [](std::size_t i, int) {
                         if (i == 5) throw std::runtime_error("output failed");
                     }),
                 std::runtime_error);
    // The workers stop within a window of the failure instead of running through the rest.
    EXPECT_LE(produced.load(), 5 + 1 + 8 + 4);
}

TEST(OrderedPool, AStreamOfItemsIsReadNoFurtherAheadThanTheWindow) {
    for (const unsigned workers : {1u, 2u, 4u}) {
        constexpr std::size_t kWindow = 6;
        constexpr int kItems = 500;
        std::atomic<int> handedOut{0};
        std::vector<int> seen;
        runInOrderFrom<int>(
            [&]() -> std::optional<int> {
                if (handedOut.load() == kItems) return std::nullopt;
                return handedOut++;
            },
            workers, kWindow, [](int item) { return item * 2; },
            [&](std::size_t i, int result) {
                EXPECT_EQ(result, static_cast<int>(i) * 2);
                // Taken and not yet handed over: at most the window, beside the one the
                // consumer holds.
                EXPECT_LE(handedOut.load(), static_cast<int>(i + 1 + kWindow))
                    << workers << " workers";
                seen.push_back(result);
            });
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(kItems)) << workers << " workers";
    }
}

TEST(OrderedPool, AFailingStreamReachesTheCallerAfterTheItemsBeforeIt) {
    for (const unsigned workers : {1u, 3u}) {
        int next = 0;
        std::vector<std::size_t> consumed;
        EXPECT_THROW(runInOrderFrom<int>(
                         [&]() -> std::optional<int> {
                             if (next == 30) throw std::runtime_error("the list broke off");
                             return next++;
                         },
                         workers, 4, [](int item) { return item; },
                         [&](std::size_t i, int) { consumed.push_back(i); }),
                     std::runtime_error);
        EXPECT_EQ(consumed.size(), 30u) << workers << " workers";
    }
}

}  // namespace
}  // namespace strovanik::testing
