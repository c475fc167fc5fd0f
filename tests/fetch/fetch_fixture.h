// The fixture every fetch test against a loopback server shares.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "fetch/fetch_page.h"

namespace reader::testing {

class LoopbackFetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // libcurl honours the standard proxy variables; loopback tests must reach the server directly.
    ::setenv("no_proxy", "*", 1);
    ::setenv("NO_PROXY", "*", 1);
  }

  // Short enough that a test which goes wrong ends in seconds, long enough never to cut a healthy fetch.
  static FetchLimits quickLimits() {
    FetchLimits limits;
    limits.connectTimeoutSeconds = 5;
    limits.stallSeconds = 5;
    return limits;
  }

  static FetchOutcome fetch(const std::string& address, const FetchLimits& limits = quickLimits()) {
    return fetchPageDetailed(GbkText(address), limits);
  }
};

}  // namespace reader::testing
