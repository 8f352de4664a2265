#include "log/worker_thread.h"

#include <utility>

namespace qm::log {

WorkerThread::WorkerThread() : thread_([this] { run(); }) {}

WorkerThread::~WorkerThread() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void WorkerThread::post(std::function<void()> job) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  changed_.notify_all();
}

void WorkerThread::wait() { waitUntilAtMost(0); }

void WorkerThread::waitUntilAtMost(std::size_t jobs) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this, jobs] { return jobs_.size() + (running_ ? 1 : 0) <= jobs; });
}

void WorkerThread::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !jobs_.empty() || stopping_; });
    if (jobs_.empty()) {
      return;
    }
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = true;
    lock.unlock();
    job();
    lock.lock();
    running_ = false;
    changed_.notify_all();
  }
}

}  // namespace qm::log
