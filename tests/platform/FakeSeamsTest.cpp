#include <gtest/gtest.h>

#include "tests/support/FakeInstanceLock.h"
#include "tests/support/FakeLogonRunList.h"

// The fakes stand in for the system in other folders' tests, so they must behave like it.

TEST(FakeInstanceLock, BehavesLikeOneLockPerMachine) {
  auto machine = std::make_shared<FakeInstanceLock::Machine>();
  int raised = 0;
  {
    FakeInstanceLock first(machine, 1000);
    ASSERT_EQ(first.Acquire(), InstanceLockResult::Acquired);
    first.SetActivationHandler([&](const std::string&) { ++raised; });

    FakeInstanceLock sameUser(machine, 1000);
    EXPECT_EQ(sameUser.Acquire(), InstanceLockResult::HeldBySameUser);
    EXPECT_TRUE(sameUser.ActivateFirstCopy());
    EXPECT_EQ(raised, 1);

    FakeInstanceLock otherUser(machine, 1001);
    EXPECT_EQ(otherUser.Acquire(), InstanceLockResult::HeldByOtherUser);
    EXPECT_FALSE(otherUser.ActivateFirstCopy());
    EXPECT_EQ(raised, 1);
    EXPECT_FALSE(first.ActivateFirstCopy());
  }
  FakeInstanceLock later(machine, 1001);
  EXPECT_EQ(later.Acquire(), InstanceLockResult::Acquired) << "released with its holder";

  auto broken = std::make_shared<FakeInstanceLock::Machine>();
  broken->lockBroken = true;
  FakeInstanceLock none(broken, 1);
  EXPECT_EQ(none.Acquire(), InstanceLockResult::Unavailable);
}

TEST(FakeLogonRunList, StoresEntriesAndFailsWhenTold) {
  FakeLogonRunList list;
  std::string text;
  EXPECT_EQ(list.Read("Pyxtune", text), RunListStatus::NotFound);
  EXPECT_TRUE(list.Write("Pyxtune", "\"/p\" SysTray"));
  EXPECT_EQ(list.Read("Pyxtune", text), RunListStatus::Ok);
  EXPECT_EQ(text, "\"/p\" SysTray");
  list.readsFail = true;
  EXPECT_EQ(list.Read("Pyxtune", text), RunListStatus::Failed);
  list.writesFail = true;
  EXPECT_FALSE(list.Remove("Pyxtune"));
  list.readsFail = list.writesFail = false;
  EXPECT_TRUE(list.Remove("Pyxtune"));
  EXPECT_EQ(list.Read("Pyxtune", text), RunListStatus::NotFound);
}
