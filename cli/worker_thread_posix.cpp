#include <errno.h>
#include <pthread.h>
#include <sched.h>

#include <exception>
#include <system_error>

#include "cli/worker_thread.h"

namespace qelva::cli {

struct WorkerThread::State {
  std::function<void()> work;
  pthread_t thread;
#ifdef __linux__
  cpu_set_t cores;      // every core the starter may use
  bool placed = false;  // the thread starts on fewer of them
#endif
};

namespace {

void* RunWork(void* argument) {
  auto& state = *static_cast<WorkerThread::State*>(argument);
#ifdef __linux__
  // Started on a core of its own; from here the system may move it as the cores' load changes.
  if (state.placed) pthread_setaffinity_np(pthread_self(), sizeof state.cores, &state.cores);
#endif
  try {
    state.work();
  } catch (...) {
    std::terminate();  // as a std::thread does with work that throws
  }
  return nullptr;
}

}  // namespace

WorkerThread::WorkerThread(std::function<void()> work) : state_(std::make_unique<State>()) {
  state_->work = std::move(work);
  pthread_attr_t attributes;
  if (int error = pthread_attr_init(&attributes)) {
    throw std::system_error(error, std::generic_category(), "pthread_attr_init");
  }
#ifdef __linux__
  // The starter's cores without the one it runs on now; nothing to choose when that is all.
  const int here = sched_getcpu();
  if (here >= 0 && here < CPU_SETSIZE &&
      sched_getaffinity(0, sizeof state_->cores, &state_->cores) == 0 &&
      CPU_ISSET(here, &state_->cores) && CPU_COUNT(&state_->cores) > 1) {
    cpu_set_t others = state_->cores;
    CPU_CLR(here, &others);
    state_->placed = pthread_attr_setaffinity_np(&attributes, sizeof others, &others) == 0;
  }
#endif
  int error = pthread_create(&state_->thread, &attributes, RunWork, state_.get());
  pthread_attr_destroy(&attributes);
#ifdef __linux__
  if (error == EINVAL && state_->placed) {
    // The cores chosen cannot be had after all (a container's limits, a core just taken
    // offline): then wherever the system puts it.
    state_->placed = false;
    error = pthread_create(&state_->thread, nullptr, RunWork, state_.get());
  }
#endif
  if (error) throw std::system_error(error, std::generic_category(), "pthread_create");
}

WorkerThread::~WorkerThread() { pthread_join(state_->thread, nullptr); }

}  // namespace qelva::cli
