// The order in which several jobs take the tasks of one run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace qelva::cli {

// Hands out tasks to several takers, each task once. The tasks are grouped by the folder their
// files are written to: a taker works through one folder of its own while there is one no
// other taker has begun, and only then joins the earliest folder begun that still has tasks.
// Within a folder the tasks go out with the most work first (ties in task order), so that no
// large picture is left to run alone at the end; the folders are begun with the most work
// first too.
//
// Why folders: creating a file locks its folder, and a job that wants to create a file in a
// folder while the other job is creating one there waits for that lock spinning on its core.
// On ext4 without a journal creating a file is slow (it looks at every recently freed inode of
// the folder's group first), so two jobs taking the tasks of a tree in one order across all
// its folders spun for a fifth of their time and together took 1.5-2.3x the CPU time of one
// job. Jobs in folders of their own do not meet there.
class HandOut {
 public:
  static constexpr size_t kNone = static_cast<size_t>(-1);

  // cost[t] is task t's work, folderOf[t] a number naming its folder (any numbers; equal
  // numbers, the same folder). Both have one element per task.
  HandOut(const std::vector<uint64_t>& cost, const std::vector<size_t>& folderOf);

  // The next task for the taker whose folder is `folder` (kNone at its start, then whatever
  // Next left there); kNone when every task is handed out. Safe to call from several threads.
  size_t Next(size_t& folder);

 private:
  struct Folder {
    std::vector<size_t> tasks;  // most work first
    size_t next = 0;            // the first task not yet handed out
    bool Done() const { return next == tasks.size(); }
  };

  std::mutex mutex_;
  std::vector<Folder> folders_;  // in the order they are begun
  size_t unbegun_ = 0;           // folders_ from here on have no taker yet
  size_t open_ = 0;              // no folder before this one has tasks left
};

}  // namespace qelva::cli
