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

void ThreadPool::Work(int worker) {
  for (;;) {
    int item = next_.fetch_add(1, std::memory_order_relaxed);
    if (item >= count_) break;
    call_(context_, item, worker);
  }
}

void ThreadPool::Run(int count, Call call, void* context) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    call_ = call;
    context_ = context;
    count_ = count;
    next_.store(0, std::memory_order_relaxed);
    busy_ = static_cast<int>(workers_.size());
    ++generation_;
  }
  wake_.notify_all();
  Work(0);
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [this] { return busy_ == 0; });
}

void ThreadPool::WorkerLoop(int worker) {
  unsigned seen = 0;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || generation_ != seen; });
      if (stop_) return;
      seen = generation_;
    }
    Work(worker);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (--busy_ == 0) done_.notify_one();
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
