#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace quendrolix {

// A small pool for the encoder's data-parallel stages. The calling thread takes part, so
// a pool of one runs everything inline. Work items are handed out one at a time through
// an atomic counter; each item must be independent of the others.
class ThreadPool {
 public:
  explicit ThreadPool(int threads);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  int size() const { return static_cast<int>(workers_.size()) + 1; }

  // Calls fn(item, worker) for every item in [0, count); worker is in [0, size()).
  // Returns when every call has returned. fn must not throw.
  template <typename F>
  void ParallelFor(int count, F&& fn) {
    if (count <= 0) return;
    if (workers_.empty() || count == 1) {
      for (int i = 0; i < count; ++i) fn(i, 0);
      return;
    }
    using Fn = std::remove_reference_t<F>;
    Run(
        count,
        [](void* context, int item, int worker) { (*static_cast<Fn*>(context))(item, worker); },
        const_cast<void*>(static_cast<const void*>(&fn)));
  }

 private:
  using Call = void (*)(void*, int, int);
  void Run(int count, Call call, void* context);
  void WorkerLoop(int worker);
  void Work(int worker);

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  unsigned generation_ = 0;
  bool stop_ = false;
  Call call_ = nullptr;
  void* context_ = nullptr;
  int count_ = 0;
  std::atomic<int> next_{0};
  int busy_ = 0;  // workers still inside the current generation
};

// How many threads the video encoder uses: 0 (the default) means one per core.
void SetMpegVideoThreads(int threads);
int MpegVideoThreads();

}  // namespace quendrolix
