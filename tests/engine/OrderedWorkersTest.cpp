#include "engine/OrderedWorkers.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <thread>

using namespace kestrelan;

namespace {

// A job that takes longer the earlier it is, so that later jobs finish first.
auto slowEarlyJobs(std::size_t count, std::size_t failing = SIZE_MAX)
{
    return [count, failing] {
        return [count, failing](std::size_t k) {
            std::this_thread::sleep_for(std::chrono::microseconds(200 * (count - k)));
            if (k == failing)
                throw std::runtime_error("job");
            return k * 10;
        };
    };
}

} // namespace

TEST(OrderedWorkersTest, ResultsInJobOrderOnAnyNumberOfThreads)
{
    for (int threads : {0, 1, 3, 8}) {
        std::vector<std::size_t> seen;
        runInOrder(20, threads, slowEarlyJobs(20), [&](std::size_t k, std::size_t result) {
            EXPECT_EQ(result, k * 10);
            seen.push_back(k);
        });
        ASSERT_EQ(seen.size(), 20u) << threads;
        for (std::size_t k = 0; k < seen.size(); ++k)
            EXPECT_EQ(seen[k], k) << threads;
    }
    bool called = false;
    runInOrder(0, 4, slowEarlyJobs(0), [&](std::size_t, std::size_t) { called = true; });
    EXPECT_FALSE(called);
}

TEST(OrderedWorkersTest, AFailureReachesTheCallerAfterTheThreadsEnd)
{
    std::vector<std::size_t> seen;
    EXPECT_THROW(runInOrder(20, 3, slowEarlyJobs(20, 5), [&](std::size_t k, std::size_t) { seen.push_back(k); }),
                 std::runtime_error);
    ASSERT_LE(seen.size(), 5u); // jobs before the failing one at most, in order
    for (std::size_t k = 0; k < seen.size(); ++k)
        EXPECT_EQ(seen[k], k);

    EXPECT_THROW(runInOrder(20, 3, slowEarlyJobs(20),
                            [](std::size_t k, std::size_t) {
                                if (k == 2)
                                    throw std::logic_error("deliver");
                            }),
                 std::logic_error);
    EXPECT_THROW(
        runInOrder(
            4, 2, []() -> std::function<int(std::size_t)> { throw std::bad_alloc(); }, [](std::size_t, int) {}),
        std::bad_alloc);
}
