// The page fetch: one HTTP or HTTPS GET of an address, the whole response body as bytes.
#pragma once

#include <cstddef>
#include <string>

#include "text/byte_text.h"

namespace reader {

// Bounds that keep a silent or endless server from freezing or exhausting the reader. Tests shorten them.
struct FetchLimits {
  long connectTimeoutSeconds = 60;   // give up connecting after this long
  long stallSeconds = 60;            // abort when fewer than stallBytesPerSecond arrive for this long
  long stallBytesPerSecond = 1;
  std::size_t maxBodyBytes = std::size_t{64} << 20;  // stop reading here; what was read is the result
};

struct FetchOutcome {
  ByteSeq body;         // the bytes received (all of them, or those before the failure)
  std::string failure;  // empty on success; otherwise the client's reason, in plain words
};

// The body of the final response (redirects followed, the status never examined), or the bytes received
// before a failure, or an empty ByteSeq. Only http and https, also on redirects; the fragment is never
// sent. Reports nothing.
ByteSeq fetchPage(const GbkText& address);

// The same fetch, telling why it failed, for the command-line reader.
FetchOutcome fetchPageDetailed(const GbkText& address, const FetchLimits& limits = {});

}  // namespace reader
