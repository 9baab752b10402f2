// The converter's second and further threads.
#pragma once

#include <functional>
#include <memory>

namespace qelva::cli {

// Runs a piece of work on a thread of its own beside the thread that starts it, and waits for
// it to end when destroyed.
//
// On Linux the thread is started on one of the process's cores other than the one its starter
// runs on, when there is one, and may run on any of the process's cores once it has started.
// Left to itself the system puts a new thread on its starter's core, which stays busy with the
// starter's own converting, and moves it to an idle core only when it next balances its cores:
// measured, up to 4 ms later, a third of a game folder's conversion on two cores.
class WorkerThread {
 public:
  // Raises std::system_error when the system gives no thread.
  explicit WorkerThread(std::function<void()> work);
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  struct State;  // the platform's own

 private:
  std::unique_ptr<State> state_;
};

}  // namespace qelva::cli
