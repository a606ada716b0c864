#include "link/receive_buffer.h"

#include <cstring>

namespace quillet {

std::size_t ReceiveBuffer::End() const {
  const char* start = bytes + cursor;
  const void* zero = std::memchr(start, '\0', kSize - static_cast<std::size_t>(cursor));
  return zero ? static_cast<const char*>(zero) - bytes : kSize - 1;
}

}  // namespace quillet
