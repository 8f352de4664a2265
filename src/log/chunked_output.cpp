#include "log/chunked_output.h"

#include <utility>

namespace qm::log {

ChunkedOutput::ChunkedOutput(Write write) : write_(std::move(write)) { makeRoom(); }

// A buffer that grew by doubling would copy itself over and over until it was full.
void ChunkedOutput::makeRoom() { filling_.reserve(kBufferBytes - 1); }

ChunkedOutput::~ChunkedOutput() {
  if (writer_) {
    writer_->wait();
  }
}

bool ChunkedOutput::finish() {
  if (writer_) {
    writer_->wait();
  }
  // The last bytes are written here: waiting for the writer thread would take as long.
  if (!failed_ && !filling_.empty() && !write_(filling_)) {
    failed_ = true;
  }
  filling_.clear();
  return !failed_;
}

void ChunkedOutput::flush() {
  if (failed_) {
    filling_.clear();
    return;
  }
  if (!writer_) {
    writer_ = std::make_unique<WorkerThread>();
  }
  // The buffer handed over last time in this place has been written once at most this many
  // jobs are left.
  writer_->waitUntilAtMost(kBuffersToWrite - 1);
  OutputBytes& full = full_[nextFull_];
  nextFull_ = (nextFull_ + 1) % kBuffersToWrite;
  std::swap(filling_, full);
  filling_.clear();
  makeRoom();
  writer_->post([this, &full] {
    if (!failed_ && !write_(full)) {
      failed_ = true;
    }
  });
}

}  // namespace qm::log
