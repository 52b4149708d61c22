#include "kaprin/cli/timer_pump.h"

#include "fakes.h"

#include <gtest/gtest.h>

namespace kaprin::cli {
namespace {

using kaprin::test::FakeClock;

// A timer waits a whole period from when it is seen enabled, then ticks every period.
TEST(TimerPump, TicksAfterEachPeriodFromWhenItWasEnabled) {
    FakeClock clock;
    TimerPump pump(clock);
    Timer t1{100, false};
    int ticks = 0;
    pump.Add(t1, [&] { ++ticks; });

    EXPECT_EQ(pump.Arm(), -1) << "a disabled timer is not waited for";
    t1.enabled = true;
    EXPECT_EQ(pump.Arm(), 100);
    clock.Advance(99);
    EXPECT_EQ(pump.Arm(), 1);
    EXPECT_FALSE(pump.FireDue());
    clock.Advance(1);
    EXPECT_EQ(pump.Arm(), 0);
    EXPECT_TRUE(pump.FireDue());
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(pump.Arm(), 100);
    clock.Advance(250); // a late pump ticks once, not once per missed period
    EXPECT_TRUE(pump.FireDue());
    EXPECT_EQ(ticks, 2);
    t1.enabled = false;
    EXPECT_EQ(pump.Arm(), -1);
    clock.Advance(1000);
    EXPECT_FALSE(pump.FireDue());
}

// The automatic step disables t2, pumps events while it runs, and re-arms t2 at its end:
// t2 never ticks inside its own step, and the next step waits a period after it ended.
TEST(TimerPump, AStepThatRearmsItselfWaitsAPeriodAndNeverNests) {
    FakeClock clock;
    TimerPump pump(clock);
    Timer t1{100, false}, t2{20, true};
    int steps = 0, chaser = 0, nested = 0;
    bool inStep = false;
    pump.Add(t1, [&] { ++chaser; });
    pump.Add(t2, [&] {
        if (inStep)
            ++nested;
        inStep = true;
        ++steps;
        t2.enabled = false;
        t1.enabled = true;
        for (int i = 0; i < 30; ++i) { // the step's own event pumps, 10 ms apart
            clock.Advance(10);
            pump.Arm();
            pump.FireDue();
        }
        t2.enabled = true; // enabled again at the end of the step
        t1.enabled = false;
        inStep = false;
    });

    pump.Arm();
    clock.Advance(20);
    EXPECT_TRUE(pump.FireDue());
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(chaser, 2) << "t1 ran inside the step at 100 ms and 200 ms";
    EXPECT_EQ(pump.Arm(), 20);
    clock.Advance(19);
    EXPECT_FALSE(pump.FireDue());
    clock.Advance(1);
    EXPECT_TRUE(pump.FireDue());
    EXPECT_EQ(steps, 2);
}

// An exception out of a tick (a question nobody can answer) leaves the pump usable.
TEST(TimerPump, ATickThatThrowsCanTickAgain) {
    FakeClock clock;
    TimerPump pump(clock);
    Timer t{5, true};
    int calls = 0;
    pump.Add(t, [&] {
        if (++calls == 1)
            throw std::runtime_error("no answer");
    });
    pump.Arm();
    clock.Advance(5);
    EXPECT_THROW(pump.FireDue(), std::runtime_error);
    clock.Advance(5);
    EXPECT_TRUE(pump.FireDue());
    EXPECT_EQ(calls, 2);
}

} // namespace
} // namespace kaprin::cli
