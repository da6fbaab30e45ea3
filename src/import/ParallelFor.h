#pragma once
#include <algorithm>
#include <cstddef>
#include <thread>
#include <vector>

namespace corvane {

// Runs work(i) for i in [0, count) on the machine's cores, in contiguous
// slices; work must only write what belongs to its own i. Small counts run here.
template <class Work>
void ParallelFor(std::size_t count, Work work, std::size_t minimumPerThread = 512) {
  const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t threads = std::min(cores, count / std::max<std::size_t>(1, minimumPerThread));
  if (threads <= 1) {
    for (std::size_t i = 0; i < count; ++i) work(i);
    return;
  }
  std::vector<std::thread> pool;
  const std::size_t slice = (count + threads - 1) / threads;
  for (std::size_t t = 1; t < threads; ++t)
    pool.emplace_back([&, t] {
      for (std::size_t i = t * slice; i < std::min(count, (t + 1) * slice); ++i) work(i);
    });
  for (std::size_t i = 0; i < std::min(count, slice); ++i) work(i);
  for (std::thread& thread : pool) thread.join();
}

}  // namespace corvane
