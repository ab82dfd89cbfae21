#include "platform/event.h"
#include "platform/worker_thread.h"
#include "support/wait.h"

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
    const pid_t waiter = sim::ThisThread();
    std::thread setter([&] {
        // Set once the waiter sleeps; a wait that the set did not wake would never end.
        EXPECT_TRUE(sim::WaitUntilBlocked(waiter, sim::Blocked::InPollOrFutex));
        request.Set();
    });
    EXPECT_EQ(platform::WaitForAny({&stop, &request}), 1);
    setter.join();
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
