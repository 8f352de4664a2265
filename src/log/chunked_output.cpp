#include "log/chunked_output.h"

#include <utility>

namespace qm::log {

ChunkedOutput::ChunkedOutput(Write write) : write_(std::move(write)) {}

ChunkedOutput::~ChunkedOutput() { waitForWrite(); }

bool ChunkedOutput::finish() {
  waitForWrite();
  // The last bytes are written here: waiting for the writer thread would take as long.
  if (ok_ && !filling_.empty()) {
    ok_ = write_(filling_);
  }
  filling_.clear();
  return ok_;
}

void ChunkedOutput::waitForWrite() {
  if (writer_) {
    writer_->wait();
    ok_ = ok_ && writtenOk_;
  }
}

void ChunkedOutput::flush() {
  waitForWrite();
  if (ok_) {
    std::swap(filling_, written_);
    if (!writer_) {
      writer_ = std::make_unique<WorkerThread>();
    }
    writer_->post([this] { writtenOk_ = write_(written_); });
  }
  filling_.clear();
}

}  // namespace qm::log
