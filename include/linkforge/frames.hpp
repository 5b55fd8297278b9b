// Views of a matrix with one frame per row, in any memory layout.
//
// The whole decoders take and give many frames at once. A host keeps such a matrix
// column-major (Octave: an F x L matrix holds element k of frame f at f + k*F) or
// row-major (NumPy: at f*L + k); a view names the layout by its two strides, so the
// kernels read and write the host's own arrays.
#pragma once

#include <cstddef>

namespace linkforge {

template <class T>
struct FrameView {
  T* data = nullptr;
  std::size_t frames = 0;
  std::size_t length = 0;
  std::ptrdiff_t frame_stride = 0;    // elements from frame f to frame f + 1
  std::ptrdiff_t element_stride = 0;  // elements from element k to element k + 1

  T& operator()(std::size_t f, std::size_t k) const {
    return data[static_cast<std::ptrdiff_t>(f) * frame_stride +
                static_cast<std::ptrdiff_t>(k) * element_stride];
  }
  bool empty() const noexcept { return data == nullptr; }

  // An F x L matrix stored column by column (frames adjacent), as Octave stores it.
  static FrameView column_major(T* data, std::size_t frames, std::size_t length) noexcept {
    return {data, frames, length, 1, static_cast<std::ptrdiff_t>(frames)};
  }
  // An F x L matrix stored row by row (a frame's elements adjacent), as C and NumPy do.
  static FrameView row_major(T* data, std::size_t frames, std::size_t length) noexcept {
    return {data, frames, length, static_cast<std::ptrdiff_t>(length), 1};
  }
};

// Several F x L matrices of the same layout, one after the other (a host's F x L x P
// array): page p starts page_stride elements after page p - 1.
template <class T>
struct FramePages {
  FrameView<T> first;
  std::size_t pages = 0;
  std::ptrdiff_t page_stride = 0;

  FrameView<T> page(std::size_t p) const {
    FrameView<T> v = first;
    v.data += static_cast<std::ptrdiff_t>(p) * page_stride;
    return v;
  }
  bool empty() const noexcept { return first.data == nullptr || pages == 0; }
};

}  // namespace linkforge
