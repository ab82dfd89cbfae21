#include "platform/event.h"
#include "platform/worker_thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(Event, AutoResetIsConsumedByOneWait) {
    platform::Event event;
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(Event, ManualResetStaysSetUntilReset) {
    platform::Event event(true);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(Event, WaitForAnyPrefersTheFirstAndConsumesOnlyIt) {
    platform::Event stop, request;
    stop.Set();
    request.Set();
    EXPECT_EQ(platform::WaitForAny({&stop, &request}, 0), 0);
    EXPECT_EQ(platform::WaitForAny({&stop, &request}, 0), 1);
    EXPECT_EQ(platform::WaitForAny({&stop, &request}, 20), platform::kWaitTimeout);
}

TEST(Event, WaitWakesWhenAnotherThreadSets) {
    platform::Event stop, request;
    auto start = std::chrono::steady_clock::now();
    std::thread setter([&] {
        std::this_thread::sleep_for(30ms);
        request.Set();
    });
    EXPECT_EQ(platform::WaitForAny({&stop, &request}), 1);
    setter.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(WorkerThread, ReportsItsEndAndExitCode) {
    platform::WorkerThread worker;
    platform::Event go;
    worker.Start("Scale01", [&] {
        go.Wait();
        return 7u;
    });
    EXPECT_TRUE(worker.IsStarted());
    EXPECT_FALSE(worker.HasEnded());
    go.Set();
    worker.Join();
    EXPECT_TRUE(worker.HasEnded());
    EXPECT_EQ(worker.ExitCode(), 7u);
}

} // namespace
