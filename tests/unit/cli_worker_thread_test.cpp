// The converter's further threads: each runs its work once, on a thread of its own, done when
// the thread is destroyed; on Linux it may use every core its starter may, however few.
#include "cli/worker_thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#ifdef __linux__
#include <pthread.h>
#include <sched.h>
#endif

namespace qelva::cli {
namespace {

TEST(WorkerThread, EachRunsItsWorkOnceOnAThreadOfItsOwnAndIsDoneWhenDestroyed) {
  std::atomic<int> runs{0};
  std::atomic<int> onStarter{0};
  const std::thread::id starter = std::this_thread::get_id();
  {
    std::vector<std::unique_ptr<WorkerThread>> workers;
    for (int i = 0; i < 3; ++i) {
      workers.push_back(std::make_unique<WorkerThread>([&] {
        // Slow enough that a destructor that did not wait would be seen.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        onStarter += std::this_thread::get_id() == starter;
        ++runs;
      }));
    }
  }
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(onStarter, 0);
}

#ifdef __linux__
cpu_set_t CoresOfThisThread() {
  cpu_set_t cores;
  CPU_ZERO(&cores);
  EXPECT_EQ(sched_getaffinity(0, sizeof cores, &cores), 0);
  return cores;
}

// Started away from its starter's core, a worker must not stay there: were it kept off that
// core, two workers could share one core while another stood idle.
TEST(WorkerThread, OnceRunningItMayUseEveryCoreItsStarterMay) {
  const cpu_set_t starter = CoresOfThisThread();
  cpu_set_t seen;
  CPU_ZERO(&seen);
  {
    WorkerThread worker([&] { seen = CoresOfThisThread(); });
  }
  EXPECT_TRUE(CPU_EQUAL(&seen, &starter)) << CPU_COUNT(&seen) << " of " << CPU_COUNT(&starter);
}

// A starter allowed one core only leaves no other to start on: the worker still starts, there.
TEST(WorkerThread, AStarterThatMayUseOneCoreOnlyStillGetsItsWorkerOnThatCore) {
  const cpu_set_t before = CoresOfThisThread();
  const int here = sched_getcpu();
  ASSERT_GE(here, 0);
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(here, &one);
  ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
  cpu_set_t seen;
  CPU_ZERO(&seen);
  bool ran = false;
  try {
    WorkerThread worker([&] {
      seen = CoresOfThisThread();
      ran = true;
    });
  } catch (const std::system_error& e) {
    ADD_FAILURE() << e.what();
  }
  sched_setaffinity(0, sizeof before, &before);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(CPU_EQUAL(&seen, &one));
}
#endif

}  // namespace
}  // namespace qelva::cli
