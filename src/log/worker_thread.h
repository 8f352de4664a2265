#pragma once

// One helper thread for a table-file operation: it runs the jobs handed to it, one after another,
// while the thread that handed them goes on with its own work. A save hands it the writes of full
// buffers while it formats the next one; a load hands it the reading of the next block of the
// file, and a share of the pieces of the bytes read (piece_sharing.h). It is made once per
// operation, and only for a file of more than a megabyte, so a small file costs no thread at all.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace qm::log {

class WorkerThread {
public:
  WorkerThread();
  // Waits for the jobs handed over, then ends the thread.
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  // Runs `job` after the jobs handed over before it.
  void post(std::function<void()> job);
  // Returns once every job handed over has run; what the jobs wrote is then visible here.
  void wait();
  // Returns once at most `jobs` of the jobs handed over are still to run or running; the others
  // (the oldest) have run.
  void waitUntilAtMost(std::size_t jobs);

private:
  void run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool running_ = false;  // a job taken from jobs_ is under way
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace qm::log
