#include "turn/worker_pool.h"

#include <chrono>
#include <utility>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

WorkerPool::WorkerPool(int threads) {
  threads = Wanted(threads);
  try {
    workers_.reserve(std::size_t(threads - 1));
    for (int i = 1; i < threads; ++i) workers_.emplace_back([this] { Work(); });
  } catch (...) {
    Stop();  // the threads already started must end before the pool goes
    throw;
  }
}

WorkerPool::~WorkerPool() { Stop(); }

void WorkerPool::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    announced_.fetch_add(1, std::memory_order_release);
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

int WorkerPool::Cores() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : int(cores);
}

// Jobs are handed out one at a time under the lock: they are whole frames or
// bands of rows, far longer than the hand-over.
void WorkerPool::TakeJobs(std::unique_lock<std::mutex>& lock) {
  const std::function<void(int)>& job = *job_;
  ++running_;
  while (next_ < count_) {
    const int index = next_++;
    lock.unlock();
    try {
      job(index);
    } catch (...) {
      lock.lock();
      if (!failure_) failure_ = std::current_exception();
      next_ = count_;  // the rest would be thrown away
      continue;
    }
    lock.lock();
  }
  if (--running_ == 0) done_.notify_all();
}

void WorkerPool::Work() {
  // Counted from the pool's start, not from whenever this thread got going:
  // a round handed out before then is still this thread's to help with.
  unsigned seen = 0;
  for (;;) {
    // Rounds of one strip follow each other within microseconds, sooner than
    // a sleeping thread wakes: watch for the next a little while first.
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
    while (announced_.load(std::memory_order_acquire) == seen &&
           std::chrono::steady_clock::now() < until) {
#if defined(__SSE2__)
      _mm_pause();  // spares the core's twin; elsewhere reading the clock paces the loop
#endif
    }
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [&] { return stopping_ || round_ != seen; });
    if (stopping_) return;
    seen = round_;
    if (job_ != nullptr) TakeJobs(lock);
  }
}

void WorkerPool::Run(int count, const std::function<void(int)>& job) {
  std::unique_lock<std::mutex> lock(mutex_);
  job_ = &job;
  count_ = count;
  next_ = 0;
  failure_ = nullptr;
  ++round_;
  announced_.store(round_, std::memory_order_release);
  wake_.notify_all();
  TakeJobs(lock);
  done_.wait(lock, [&] { return running_ == 0 && next_ >= count_; });
  job_ = nullptr;
  if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}
