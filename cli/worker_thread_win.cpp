#include <thread>

#include "cli/worker_thread.h"

namespace qelva::cli {

// Windows starts a ready thread on an idle processor itself.
struct WorkerThread::State {
  std::jthread thread;
};

WorkerThread::WorkerThread(std::function<void()> work)
    : state_(std::make_unique<State>(State{std::jthread(std::move(work))})) {}

WorkerThread::~WorkerThread() = default;

}  // namespace qelva::cli
