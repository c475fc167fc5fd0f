#include "text/page_memory.h"

#include <malloc.h>

namespace reader {

void keepPageSizedBuffers() {
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

}  // namespace reader
