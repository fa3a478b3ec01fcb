#pragma once
// Worker threads that stop by request, and the one way a worker that does not
// stop is left behind.
//
// StoppableWorker runs one job at a time on a worker thread; the folder
// loader, the mail search, enhanced browsing and the mail check use it.
// Starting a job stops the previous one. Stopping sets the run's stop signal;
// the owner then either waits a bounded time for the body to leave (StopRun)
// or returns at once (AskToStop) and settles the run later (ForgetRun, from a
// timer). A run that has not left by then is forgotten, never killed: its
// thread is detached, it leaves at its next check, and the generation has
// moved on, so whatever it still reports is recognised as stale.
//
// WorkerThreads counts every such thread for the whole process, those
// started detached (the downloads) and those forgotten alike, so that the
// program's end can wait for them once, bounded, before the objects they
// write through are gone.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace vyr {

// The stop signal of a run that only needs a flag. Other signals provide a
// RequestStop of their own in their namespace.
inline void RequestStop(std::atomic<bool>& stop) { stop = true; }

// Every worker thread of the process that may outlive its owner's interest.
class WorkerThreads {
 public:
  // Counts one thread from its creation (taken on the starting thread, so a
  // wait that begins meanwhile already sees it) until the ticket is
  // destroyed with the thread's body.
  class Ticket {
   public:
    Ticket() { Change(+1); }
    ~Ticket() {
      if (held_) Change(-1);
    }
    Ticket(Ticket&& other) noexcept : held_(std::exchange(other.held_, false)) {}
    Ticket& operator=(Ticket&&) = delete;
    Ticket(const Ticket&) = delete;

   private:
    bool held_ = true;
  };

  // Runs body on a thread nobody joins, counted until body returns. Throws
  // std::system_error when no thread can be made (nothing is counted then).
  template <typename Body>
  static void StartDetached(Body body) {
    std::thread([ticket = Ticket(), body = std::move(body)]() mutable { body(); }).detach();
  }

  // True once the program is closing: workers that can stop early do.
  static bool Closing() { return All().closing.load(std::memory_order_relaxed); }

  // The program's end: marks it closing, then waits up to `wait` for every
  // counted thread to end. This is the one wait of its kind the program
  // makes: after it the objects a left-behind worker writes through (the
  // settings, the mail store) are destroyed. True when none is left.
  static bool StopAll(std::chrono::milliseconds wait) {
    All().closing = true;
    return WaitUntilNoneRun(wait);
  }

  // Waits up to `wait` until no counted thread runs.
  static bool WaitUntilNoneRun(std::chrono::milliseconds wait) {
    Shared& all = All();
    std::unique_lock<std::mutex> lock(all.mutex);
    return all.idle.wait_for(lock, wait, [&] { return all.running == 0; });
  }

 private:
  struct Shared {
    std::atomic<bool> closing{false};
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
  };
  static Shared& All() {
    static Shared* shared = new Shared;  // outlives every worker
    return *shared;
  }
  static void Change(int by) {
    Shared& all = All();
    std::lock_guard<std::mutex> lock(all.mutex);
    all.running += by;
    if (all.running == 0) all.idle.notify_all();
  }
};

// Stop is the run's stop signal; RequestStop(Stop&) must be callable on it.
template <typename Stop>
class StoppableWorker {
 public:
  struct Run {
    Stop stop{};
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;  // guarded by mutex

    // The body has nothing left to do that the owner must wait for. A body
    // whose last act is a report to its window marks itself done first, so
    // that the window, on that report, can start the next run.
    void MarkDone() {
      std::lock_guard<std::mutex> lock(mutex);
      done = true;
      ended.notify_all();
    }
    bool Done() {
      std::lock_guard<std::mutex> lock(mutex);
      return done;
    }
  };

  // Marks a run finished when the body leaves, however it leaves.
  class DoneMark {
   public:
    explicit DoneMark(Run& run) : run_(run) {}
    ~DoneMark() { run_.MarkDone(); }
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
    thread_ = std::thread([ticket = WorkerThreads::Ticket(), run, generation, body = std::move(body)]() mutable {
      body(run, generation);
    });
    return generation;
  }

  // Sets the current run's stop signal and returns at once. Any thread.
  void AskToStop() {
    if (std::shared_ptr<Run> run = Current()) RequestStop(run->stop);
  }

  // Settles the current run without waiting: a body that has left is
  // joined, one still inside is forgotten. Either way the generation moves
  // on. True when a run was left behind. Owner's thread.
  bool ForgetRun() {
    std::shared_ptr<Run> run = Current();
    const bool ended = !run || run->Done();
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
    return !ended;
  }

  // Asks the run to stop and waits up to `wait` for it to leave before
  // settling it. True when no run was left behind.
  bool StopRun(std::chrono::milliseconds wait) {
    AskToStop();
    WaitUntilFinished(wait);
    return !ForgetRun();
  }

  bool IsRunning() const {
    std::shared_ptr<Run> run = Current();
    return run && !run->Done();
  }

  unsigned Generation() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return generation_;
  }

  // The run in progress or last started and not yet settled (null: none),
  // and with it the generation it reports under.
  std::shared_ptr<Run> CurrentRun(unsigned* generation = nullptr) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation) *generation = generation_;
    return run_;
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
