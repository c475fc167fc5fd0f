// How the process's allocator treats page-sized buffers.
#pragma once

namespace reader {

// An extraction builds a handful of buffers as large as the page. With the allocator's defaults, buffers
// of a few megabytes are mapped fresh from the system and handed back at every free, so each extraction
// of such a page pays for faulting them in again (four times the cost per megabyte of smaller and larger
// pages, measured). The programs call this once at start-up: buffers up to 64 MiB come from the heap,
// and up to 256 MiB of freed heap is kept for the next page instead of being returned at once.
void keepPageSizedBuffers();

}  // namespace reader
