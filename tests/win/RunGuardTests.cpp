// One run of the setup at a time: the guard a run holds keeps a second one
// out until it is let go, and a hand-over lets exactly the process it names
// through. Run twice: as an NT program and under Windows 9x emulation
// (WindowsVersionUnderTest win98), where the guard has a plain name.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "run/RunGuard.h"

TEST(RunGuard, ItsNameIsSharedByAllSessionsWhereTheSystemKnowsThePrefix)
{
    ASSERT_EQ(RunsAsNt(), WindowsVersionUnderTest() != "win98") << "the Windows version set for this test program";
    EXPECT_EQ(MachineWideName("Lumiro Setup"), RunsAsNt() ? "Global\\Lumiro Setup" : "Lumiro Setup");
}

TEST(RunGuard, ASecondRunIsKeptOutWhileTheFirstHoldsItAndLetInAfterwards)
{
    CRunGuard first;
    ASSERT_TRUE(first.Acquire());
    CRunGuard second;
    EXPECT_FALSE(second.Acquire());
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_INSTALL_ALREADY_RUNNING));

    first.Release();
    EXPECT_TRUE(second.Acquire());
    EXPECT_FALSE(first.Acquire()) << "now the second run holds it";
}

TEST(RunGuard, AHandOverLetsExactlyTheNamedProcessThroughAndItKeepsTheGuard)
{
    CRunGuard parent;
    ASSERT_TRUE(parent.Acquire());
    CHandOverPermit permit;
    CRunGuard child;

    ASSERT_TRUE(permit.Grant(::GetCurrentProcessId() + 4));
    EXPECT_FALSE(child.Acquire()) << "a permit for another process";
    ASSERT_TRUE(permit.Grant(::GetCurrentProcessId()));
    EXPECT_TRUE(child.Acquire());

    // The parent lets go when the child has ended; until then the guard
    // stays, also with the child's own handle alone.
    permit.Withdraw();
    CRunGuard unrelated;
    EXPECT_FALSE(unrelated.Acquire());
    parent.Release();
    EXPECT_FALSE(unrelated.Acquire()) << "the child still holds the guard";
    child.Release();
    EXPECT_TRUE(unrelated.Acquire());
}
