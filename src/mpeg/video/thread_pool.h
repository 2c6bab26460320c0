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
  // Claims and runs items of generation `generation` until none are left; returns how
  // many it ran. A worker that wakes after its generation has ended claims nothing.
  int Work(uint32_t generation, Call call, void* context, int count, int worker);

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  bool stop_ = false;
  // The current job, read by the workers under the mutex together with its generation.
  uint32_t generation_ = 0;
  Call call_ = nullptr;
  void* context_ = nullptr;
  int count_ = 0;
  // (generation << 32) | next item: items are claimed only within their generation.
  std::atomic<uint64_t> cursor_{0};
  std::atomic<int> finished_{0};
};

// How many threads the video encoder uses: 0 (the default) means one per core.
void SetMpegVideoThreads(int threads);
int MpegVideoThreads();

}  // namespace quendrolix
