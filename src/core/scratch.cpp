#include "linkforge/scratch.hpp"

#include <array>
#include <mutex>
#include <new>
#include <utility>

namespace linkforge {

namespace {

struct Kept {
  void* data;
  std::size_t bytes;
};

class Pool {
 public:
  ~Pool() { release(); }

  // The smallest kept block of at least `bytes`, or a new one.
  Kept take(std::size_t bytes) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      std::size_t best = count_;
      for (std::size_t i = 0; i < count_; ++i) {
        if (kept_[i].bytes >= bytes && (best == count_ || kept_[i].bytes < kept_[best].bytes)) {
          best = i;
        }
      }
      if (best != count_) {
        const Kept block = kept_[best];
        kept_[best] = kept_[--count_];
        kept_bytes_ -= block.bytes;
        return block;
      }
    }
    return {::operator new(bytes), bytes};
  }

  // Keeping a block allocates nothing, so a call's working memory is what it takes.
  void give(Kept block) noexcept {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (count_ < kScratchKept && kept_bytes_ + block.bytes <= kScratchKeptBytes) {
        kept_[count_++] = block;
        kept_bytes_ += block.bytes;
        return;
      }
    }
    ::operator delete(block.data);
  }

  void release() noexcept {
    std::array<Kept, kScratchKept> blocks;
    std::size_t count = 0;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      blocks = kept_;
      count = std::exchange(count_, 0);
      kept_bytes_ = 0;
    }
    for (std::size_t i = 0; i < count; ++i) ::operator delete(blocks[i].data);
  }

 private:
  std::mutex mutex_;
  std::array<Kept, kScratchKept> kept_{};
  std::size_t count_ = 0;
  std::size_t kept_bytes_ = 0;
};

Pool& pool() {
  static Pool instance;
  return instance;
}

}  // namespace

ScratchBlock::ScratchBlock(std::size_t bytes) {
  if (bytes == 0) return;
  const Kept block = pool().take(bytes);
  data_ = block.data;
  bytes_ = block.bytes;
}

ScratchBlock& ScratchBlock::operator=(ScratchBlock&& other) noexcept {
  if (this != &other) {
    ScratchBlock old(std::move(*this));
    data_ = std::exchange(other.data_, nullptr);
    bytes_ = std::exchange(other.bytes_, 0);
  }
  return *this;
}

ScratchBlock::~ScratchBlock() {
  if (data_ != nullptr) pool().give({data_, bytes_});
}

void release_scratch() noexcept {
  pool().release();
}

}  // namespace linkforge
