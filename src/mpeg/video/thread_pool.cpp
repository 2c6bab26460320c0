#include "mpeg/video/thread_pool.h"

namespace quendrolix {

ThreadPool::ThreadPool(int threads) {
  for (int i = 1; i < threads; ++i) workers_.emplace_back([this, i] { WorkerLoop(i); });
}

ThreadPool::~ThreadPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  for (auto& t : workers_) t.join();
}

int ThreadPool::Work(uint32_t generation, Call call, void* context, int count, int worker) {
  int ran = 0;
  uint64_t cursor = cursor_.load(std::memory_order_acquire);
  for (;;) {
    if ((cursor >> 32) != generation) break;
    int item = static_cast<int>(cursor & 0xFFFFFFFFu);
    if (item >= count) break;
    if (!cursor_.compare_exchange_weak(cursor, cursor + 1, std::memory_order_acq_rel)) continue;
    call(context, item, worker);
    ++ran;
    cursor = cursor_.load(std::memory_order_acquire);
  }
  return ran;
}

void ThreadPool::Run(int count, Call call, void* context) {
  uint32_t generation;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    generation = ++generation_;
    call_ = call;
    context_ = context;
    count_ = count;
    finished_.store(0, std::memory_order_relaxed);
    cursor_.store(uint64_t{generation} << 32, std::memory_order_release);
  }
  wake_.notify_all();
  int ran = Work(generation, call, context, count, 0);
  if (finished_.fetch_add(ran, std::memory_order_acq_rel) + ran == count) return;
  // The other items are being run by workers; they finish shortly.
  for (int spin = 0; spin < 4000; ++spin) {
    if (finished_.load(std::memory_order_acquire) == count) return;
    std::this_thread::yield();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return finished_.load(std::memory_order_acquire) == count; });
}

void ThreadPool::WorkerLoop(int worker) {
  uint32_t seen = 0;
  for (;;) {
    Call call;
    void* context;
    int count;
    uint32_t generation;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
      if (stop_) return;
      seen = generation = generation_;
      call = call_;
      context = context_;
      count = count_;
    }
    int ran = Work(generation, call, context, count, worker);
    if (ran && finished_.fetch_add(ran, std::memory_order_acq_rel) + ran == count) {
      std::lock_guard<std::mutex> lock(mutex_);
      done_.notify_all();
    }
  }
}

namespace {
std::atomic<int>& ThreadSetting() {
  static std::atomic<int> threads{0};
  return threads;
}
}  // namespace

void SetMpegVideoThreads(int threads) {
  ThreadSetting().store(threads < 0 ? 0 : threads);
}

int MpegVideoThreads() {
  int n = ThreadSetting().load();
  if (n > 0) return n;
  unsigned hw = std::thread::hardware_concurrency();
  return hw ? static_cast<int>(hw) : 1;
}

}  // namespace quendrolix
