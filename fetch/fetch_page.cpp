// The page fetch on libcurl.
//
// One GET per call on a fresh easy handle; the client state that outlives a call (libcurl's global set-up
// and the cookie store) is made at the first fetch and kept for the life of the process.
#include "fetch/fetch_page.h"

#include <curl/curl.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace reader {
namespace {

// What the reader calls itself on the wire.
constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";

// Only web pages: a redirect to file:, ftp: or anything else must not be followed, or a hostile page could
// make the reader read local files or talk to other services.
constexpr const char* kAllowedSchemes = "http,https";

// A redirect loop ends here, with an empty result.
constexpr long kMaxRedirects = 10;

// libcurl hands the body over in pieces of at most its receive buffer, and each piece is appended until
// the body ends, so the piece size never shows in the result. 100 KiB pieces keep a large page to a few
// dozen appends; a small page arrives in one.
constexpr long kReceiveBufferBytes = 102400;

// --- Process-wide client state ---

// Cookies live in a share handle so that one fetch's cookies go back with the next, for the life of the
// process, as a browser session would keep them. The share is built once and never released: it lasts as
// long as the process. A failed set-up is tried again at the next fetch.
std::mutex clientMutex;
bool globalReady = false;
CURLSH* sharedState = nullptr;
std::mutex shareLocks[CURL_LOCK_DATA_LAST];

void lockShared(CURL*, curl_lock_data data, curl_lock_access, void*) {
  shareLocks[data < CURL_LOCK_DATA_LAST ? data : CURL_LOCK_DATA_NONE].lock();
}
void unlockShared(CURL*, curl_lock_data data, void*) {
  shareLocks[data < CURL_LOCK_DATA_LAST ? data : CURL_LOCK_DATA_NONE].unlock();
}

CURLSH* clientState() {
  std::lock_guard<std::mutex> guard(clientMutex);
  if (sharedState != nullptr) return sharedState;
  if (!globalReady) {
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return nullptr;
    globalReady = true;
  }
  CURLSH* share = curl_share_init();
  if (share == nullptr) return nullptr;
  if (curl_share_setopt(share, CURLSHOPT_LOCKFUNC, lockShared) != CURLSHE_OK ||
      curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, unlockShared) != CURLSHE_OK ||
      curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
    curl_share_cleanup(share);
    return nullptr;
  }
  sharedState = share;
  return sharedState;
}

// --- The address ---

// ASCII only, whatever locale the program runs in: a GBK byte is never a letter of a scheme.
bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isSchemeChar(char c) {
  return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}
char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

// The part of the address that holds the path: after "scheme://authority", up to the query. Empty when the
// address has no "//" after the scheme, which leaves such an address to libcurl as typed.
std::pair<std::size_t, std::size_t> pathSpan(std::string_view address, std::size_t colon) {
  if (address.substr(colon + 1, 2) != "//") return {0, 0};
  const std::size_t begin = std::min(address.find_first_of("/?", colon + 3), address.size());
  const std::size_t end = std::min(address.find('?', begin), address.size());
  return {begin, end};
}

// The address as it goes to libcurl, or nothing (with the reason) when it must not be fetched at all.
//  - The fragment is cut at the first "#": it belongs to the reader, never to the server.
//  - An address without a scheme is refused here: libcurl would otherwise guess one, and the reader
//    fetches only what plainly names http or https.
//  - Each space becomes %20, since libcurl refuses an address with a space in it.
//  - Bytes above 127 in the path become %XX. libcurl 7.88 encodes them there itself whatever it is given
//    (in lower case), so raw bytes cannot reach the wire in the path; doing it here keeps the request line
//    ours and the same on every libcurl. Servers decode %XX in a path to the very bytes typed.
//  - Every other byte goes out as typed: GBK bytes in the query and elsewhere are passed on unchanged.
std::optional<std::string> requestAddress(std::string_view typed, std::string& refusal) {
  if (typed.empty()) {
    refusal = "the address is empty";
    return std::nullopt;
  }
  typed = typed.substr(0, typed.find('#'));

  const std::size_t colon = typed.find(':');
  const std::string_view scheme = typed.substr(0, colon == std::string_view::npos ? 0 : colon);
  bool named = !scheme.empty() && isAsciiLetter(scheme.front());
  for (char c : scheme) named = named && isSchemeChar(c);
  if (!named || !(equalsIgnoringCase(scheme, "http") || equalsIgnoringCase(scheme, "https"))) {
    refusal = "the address does not begin with http:// or https://";
    return std::nullopt;
  }

  static constexpr char kHex[] = "0123456789ABCDEF";
  const auto [pathBegin, pathEnd] = pathSpan(typed, colon);
  std::string sent;
  sent.reserve(typed.size());
  for (std::size_t i = 0; i < typed.size(); ++i) {
    const auto byte = static_cast<unsigned char>(typed[i]);
    if (byte == ' ') {
      sent += "%20";
    } else if (byte > 127 && i >= pathBegin && i < pathEnd) {
      sent += '%';
      sent += kHex[byte >> 4];
      sent += kHex[byte & 0x0F];
    } else {
      sent += typed[i];
    }
  }
  return sent;
}

// --- One transfer ---

struct Transfer {
  std::string body;
  std::size_t maxBodyBytes = 0;
  bool capped = false;  // the body reached maxBodyBytes and reading stopped
};

std::size_t receiveBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& transfer = *static_cast<Transfer*>(user);
  const std::size_t n = size * count;
  const std::size_t room = transfer.maxBodyBytes - transfer.body.size();
  try {
    if (n > room) {
      // Keep what fits and stop: answering with fewer bytes than offered ends the transfer.
      transfer.body.append(data, room);
      transfer.capped = true;
      return 0;
    }
    transfer.body.append(data, n);
  } catch (const std::bad_alloc&) {
    fatalOutOfMemory(transfer.body.size() + n);
  }
  return n;
}

struct EasyCleanup {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct HeaderListCleanup {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// The program's own request headers: exactly "Accept: */*". An entry with nothing after the colon takes out
// a header libcurl would otherwise add by itself. Host stays; User-Agent is set on its own.
std::unique_ptr<curl_slist, HeaderListCleanup> requestHeaders() {
  curl_slist* list = nullptr;
  for (const char* line : {"Accept: */*", "Expect:", "Pragma:"}) {
    curl_slist* longer = curl_slist_append(list, line);
    if (longer == nullptr) {
      curl_slist_free_all(list);
      return nullptr;
    }
    list = longer;
  }
  return std::unique_ptr<curl_slist, HeaderListCleanup>(list);
}

}  // namespace

FetchOutcome fetchPageDetailed(const GbkText& address, const FetchLimits& limits) {
  FetchOutcome outcome;

  std::string refusal;
  const std::optional<std::string> target = requestAddress(address.view(), refusal);
  if (!target) {
    outcome.failure = refusal;
    return outcome;
  }

  CURLSH* share = clientState();
  if (share == nullptr) {
    outcome.failure = "the HTTP client could not be started";
    return outcome;
  }

  const std::unique_ptr<curl_slist, HeaderListCleanup> headers = requestHeaders();
  const std::unique_ptr<CURL, EasyCleanup> easy(curl_easy_init());
  if (!headers || !easy) {
    outcome.failure = "the HTTP client could not be started";
    return outcome;
  }

  Transfer transfer;
  transfer.maxBodyBytes = limits.maxBodyBytes;
  char errorText[CURL_ERROR_SIZE] = "";

  CURLcode status = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (status == CURLE_OK) status = curl_easy_setopt(easy.get(), option, value);
  };
  set(CURLOPT_ERRORBUFFER, errorText);
  set(CURLOPT_NOSIGNAL, 1L);
  // The address is set as a string and only ever so on this handle.
  set(CURLOPT_URL, target->c_str());
  set(CURLOPT_PROTOCOLS_STR, kAllowedSchemes);
  set(CURLOPT_REDIR_PROTOCOLS_STR, kAllowedSchemes);
  set(CURLOPT_FOLLOWLOCATION, 1L);
  set(CURLOPT_MAXREDIRS, kMaxRedirects);
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  set(CURLOPT_HTTPGET, 1L);
  set(CURLOPT_USERAGENT, kUserAgent);
  set(CURLOPT_HTTPHEADER, headers.get());
  // A user name and password in the address go out only when the server asks for them.
  set(CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
  // The cookie engine on, with nothing read from disk; the store itself is the shared one.
  set(CURLOPT_SHARE, share);
  set(CURLOPT_COOKIEFILE, "");
  // Left to itself libcurl waits minutes to connect and for ever on a silent server; neither may freeze the
  // reader. What arrived before the limit struck is still the result.
  set(CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
  set(CURLOPT_LOW_SPEED_LIMIT, limits.stallBytesPerSecond);
  set(CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
  set(CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  set(CURLOPT_WRITEFUNCTION, receiveBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(&transfer));
  if (status != CURLE_OK) {
    outcome.failure = curl_easy_strerror(status);
    return outcome;
  }

  const CURLcode result = curl_easy_perform(easy.get());
  if (transfer.capped) {
    outcome.failure = "the page is larger than " + std::to_string(limits.maxBodyBytes) +
                      " bytes; only the first " + std::to_string(limits.maxBodyBytes) + " were read";
  } else if (result != CURLE_OK) {
    outcome.failure = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
  }
  // Whatever arrived is the result, also when the transfer broke off.
  outcome.body = ByteSeq(std::move(transfer.body));
  return outcome;
}

ByteSeq fetchPage(const GbkText& address) { return std::move(fetchPageDetailed(address).body); }

}  // namespace reader
