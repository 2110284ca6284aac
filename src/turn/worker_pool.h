#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// A fixed set of threads that runs numbered jobs. The calling thread works
// too, so a pool of one thread starts none. Jobs must not share what they
// write; which thread runs which job is left to chance.
class WorkerPool {
 public:
  // At least one thread; 0 or less means one per core. Throws
  // std::system_error when the threads cannot be started.
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  int Threads() const { return int(workers_.size()) + 1; }

  // Runs job(0) .. job(count - 1) and returns when all have ended. The first
  // exception a job throws is thrown here once every job has ended.
  void Run(int count, const std::function<void(int)>& job);

  // The machine's cores, at least 1.
  static int Cores();
  // The threads (or processes) asked for: 0 or less means one per core.
  static int Wanted(int threads) { return threads > 0 ? threads : Cores(); }

 private:
  void Work();
  void Stop();
  void TakeJobs(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  const std::function<void(int)>* job_ = nullptr;
  int count_ = 0;
  int next_ = 0;
  int running_ = 0;
  unsigned round_ = 0;
  // The latest round, or one past it once stopping: what threads between
  // rounds watch without taking the lock.
  std::atomic<unsigned> announced_ = 0;
  bool stopping_ = false;
  std::exception_ptr failure_;
  std::vector<std::thread> workers_;
};
