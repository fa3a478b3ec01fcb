#pragma once
// One job at a time on a worker thread that stops by request, shared by the
// folder loader and the mail search. Starting a job stops the previous one.
// Stopping sets the run's stop signal and waits a bounded time for the body
// to leave; a run that has not left by then is forgotten (never killed): it
// leaves at its next check, and the generation has moved on, so whatever it
// still reports is recognised as stale.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace vyr {

// The stop signal of a run that only needs a flag. Other signals provide a
// RequestStop of their own in their namespace.
inline void RequestStop(std::atomic<bool>& stop) { stop = true; }

// Stop is the run's stop signal; RequestStop(Stop&) must be callable on it.
template <typename Stop>
class StoppableWorker {
 public:
  struct Run {
    Stop stop{};
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;  // guarded by mutex
  };

  // Marks a run finished when the body leaves, however it leaves.
  class DoneMark {
   public:
    explicit DoneMark(Run& run) : run_(run) {}
    ~DoneMark() {
      std::lock_guard<std::mutex> lock(run_.mutex);
      run_.done = true;
      run_.ended.notify_all();
    }
    DoneMark(const DoneMark&) = delete;
    DoneMark& operator=(const DoneMark&) = delete;

   private:
    Run& run_;
  };

  StoppableWorker() = default;
  ~StoppableWorker() { StopRun(std::chrono::milliseconds(1100)); }
  StoppableWorker(const StoppableWorker&) = delete;
  StoppableWorker& operator=(const StoppableWorker&) = delete;

  // Stops a previous run, then runs body(run, generation) on a new thread;
  // the body must hold a DoneMark for the run. Returns the generation.
  template <typename Body>
  unsigned StartRun(std::chrono::milliseconds stopWait, Body body) {
    StopRun(stopWait);
    auto run = std::make_shared<Run>();
    unsigned generation;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      generation = ++generation_;
      run_ = run;
    }
    thread_ = std::thread([run, generation, body = std::move(body)]() mutable { body(run, generation); });
    return generation;
  }

  // True when no run was left behind.
  bool StopRun(std::chrono::milliseconds wait) {
    std::shared_ptr<Run> run = Current();
    bool ended = true;
    if (run) {
      RequestStop(run->stop);
      std::unique_lock<std::mutex> lock(run->mutex);
      ended = run->ended.wait_for(lock, wait, [&] { return run->done; });
    }
    if (thread_.joinable()) {
      if (ended) {
        thread_.join();
      } else {
        thread_.detach();  // forgotten: it leaves at its next check
      }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (run) {
      run_.reset();
      ++generation_;  // whatever the stopped run still reports is stale
    }
    return ended;
  }

  bool IsRunning() const {
    std::shared_ptr<Run> run = Current();
    if (!run) return false;
    std::lock_guard<std::mutex> lock(run->mutex);
    return !run->done;
  }

  unsigned Generation() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation_;
  }

  bool WaitUntilFinished(std::chrono::milliseconds timeout) const {
    std::shared_ptr<Run> run = Current();
    if (!run) return true;
    std::unique_lock<std::mutex> lock(run->mutex);
    return run->ended.wait_for(lock, timeout, [&] { return run->done; });
  }

 private:
  std::shared_ptr<Run> Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return run_;
  }

  mutable std::mutex mutex_;
  std::shared_ptr<Run> run_;
  unsigned generation_ = 0;
  std::thread thread_;
};

}  // namespace vyr
