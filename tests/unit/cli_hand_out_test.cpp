// How the converter's jobs take their tasks: each task once, a folder of its own per job while
// there is one, the most work first.
#include "cli/hand_out.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "cli/worker_thread.h"

namespace qelva::cli {
namespace {

// Takes every task with `takers` takers calling in turn; returns what each got, in order.
std::vector<std::vector<size_t>> TakeAllInTurn(HandOut& handOut, size_t takers) {
  std::vector<std::vector<size_t>> got(takers);
  std::vector<size_t> folder(takers, HandOut::kNone);
  std::vector<bool> finished(takers, false);
  size_t left = takers;
  while (left > 0) {
    for (size_t k = 0; k < takers; ++k) {
      if (finished[k]) continue;
      const size_t t = handOut.Next(folder[k]);
      if (t == HandOut::kNone) {
        finished[k] = true;
        --left;
      } else {
        got[k].push_back(t);
      }
    }
  }
  return got;
}

std::vector<size_t> Sorted(const std::vector<std::vector<size_t>>& got) {
  std::vector<size_t> all;
  for (const auto& g : got) all.insert(all.end(), g.begin(), g.end());
  std::sort(all.begin(), all.end());
  return all;
}

std::vector<size_t> Upto(size_t n) {
  std::vector<size_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = i;
  return v;
}

TEST(HandOut, EveryTaskGoesOutOnceWhateverTheFoldersAndTakers) {
  struct Case {
    std::vector<uint64_t> cost;
    std::vector<size_t> folderOf;
  };
  const std::vector<Case> cases = {
      {{}, {}},
      {{5}, {7}},
      {{1, 1, 1, 1}, {0, 0, 0, 0}},
      {{3, 9, 0, 9, 2, 7}, {4, 1, 4, 1, 2, 4}},                  // folder numbers need not be dense
      {{1, 2, 3, 4, 5, 6, 7, 8}, {0, 1, 2, 3, 4, 5, 6, 7}},      // more folders than takers
      {{100, 1, 1, 1, 1, 1, 1, 1, 1}, {0, 1, 1, 1, 1, 1, 1, 1, 1}},
  };
  for (size_t c = 0; c < cases.size(); ++c) {
    for (size_t takers : {1u, 2u, 3u, 16u}) {
      SCOPED_TRACE(testing::Message() << "case " << c << ", " << takers << " takers");
      HandOut handOut(cases[c].cost, cases[c].folderOf);
      EXPECT_EQ(Sorted(TakeAllInTurn(handOut, takers)), Upto(cases[c].cost.size()));
      size_t late = HandOut::kNone;  // a taker that comes after the end gets nothing either
      EXPECT_EQ(handOut.Next(late), HandOut::kNone);
    }
  }
}

TEST(HandOut, OneFolderGoesOutMostWorkFirstWithTiesInTaskOrder) {
  HandOut handOut({4, 9, 4, 1, 9, 0, 6}, {3, 3, 3, 3, 3, 3, 3});
  const auto got = TakeAllInTurn(handOut, 2);
  // The two takers share the one folder, one task each in turn.
  EXPECT_EQ(got[0], (std::vector<size_t>{1, 6, 2, 5}));
  EXPECT_EQ(got[1], (std::vector<size_t>{4, 0, 3}));
}

TEST(HandOut, EachTakerKeepsToAFolderOfItsOwnAndThenHelpsTheEarliestBegunOne) {
  // Folder 10: tasks 0, 2, 4, 6, 7 (16 in all); folder 20: tasks 1, 3 (30); folder 30: task 5.
  HandOut handOut({5, 20, 4, 10, 3, 1, 2, 2}, {10, 20, 10, 20, 10, 30, 10, 10});
  const auto got = TakeAllInTurn(handOut, 2);
  // The folder with the most work is begun first, then the next; the taker done with folder 20
  // begins folder 30, and then, no folder being left unbegun, helps with folder 10.
  EXPECT_EQ(got[0], (std::vector<size_t>{1, 3, 5, 6}));
  EXPECT_EQ(got[1], (std::vector<size_t>{0, 2, 4, 7}));
}

TEST(HandOut, TakersOnSeveralThreadsGetEveryTaskOnce) {
  const size_t kTasks = 5000;
  std::vector<uint64_t> cost(kTasks);
  std::vector<size_t> folderOf(kTasks);
  for (size_t t = 0; t < kTasks; ++t) {
    cost[t] = (t * 7919) % 101;
    folderOf[t] = (t * 31) % 13;
  }
  HandOut handOut(cost, folderOf);
  std::vector<std::vector<size_t>> got(4);
  {
    std::vector<std::unique_ptr<WorkerThread>> threads;
    for (auto& mine : got) {
      threads.push_back(std::make_unique<WorkerThread>([&handOut, &mine] {
        size_t folder = HandOut::kNone;
        for (size_t t; (t = handOut.Next(folder)) != HandOut::kNone;) mine.push_back(t);
      }));
    }
  }  // every thread has ended here
  EXPECT_EQ(Sorted(got), Upto(kTasks));
}

}  // namespace
}  // namespace qelva::cli
