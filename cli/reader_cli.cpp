#include "cli/reader_cli.h"

#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <CLI/CLI.hpp>
#include <chrono>
#include <clocale>
#include <iostream>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "extract/article.h"
#include "fetch/fetch_page.h"
#include "services/charset.h"

#ifndef READER_VERSION
#define READER_VERSION "0"
#endif
#ifndef READER_SAMPLE_PAGE
#define READER_SAMPLE_PAGE "samples/article.html"
#endif

namespace reader {
namespace {

enum class OutputEncoding { Utf8, Gbk };

struct Options {
  std::vector<std::string> inputs;
  bool json = false;
  OutputEncoding encoding = OutputEncoding::Utf8;
  int repeat = 1;
};

struct PageSource {
  std::string name;  // as the user gave it
  ByteSeq bytes;
  std::string failure;  // empty when the bytes were read
};

bool isWebAddress(const std::string& input) { return input.rfind("http://", 0) == 0 || input.rfind("https://", 0) == 0; }

std::string errnoText(int error) { return std::error_code(error, std::generic_category()).message(); }

// The whole of a file. A read that fails, at the start or part way, is a failure: a page cut short
// without notice would be taken for the whole page.
PageSource readFile(const std::string& path) {
  PageSource source{path, ByteSeq(), std::string()};
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    source.failure = errnoText(errno);
    return source;
  }
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
    ::close(fd);
    source.failure = "is a directory";
    return source;
  }
  std::string bytes;
  if (S_ISREG(status.st_mode) && status.st_size > 0) bytes.reserve(static_cast<std::size_t>(status.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      bytes.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      source.failure = errnoText(errno);
      ::close(fd);
      return source;
    }
  }
  ::close(fd);
  source.bytes = ByteSeq(std::move(bytes));
  return source;
}

PageSource readInput(const std::string& input, std::istream& in) {
  if (isWebAddress(input)) {
    FetchOutcome outcome = fetchPageDetailed(GbkText(input));
    return PageSource{input, std::move(outcome.body), std::move(outcome.failure)};
  }
  if (input != "-") return readFile(input);
  PageSource source{input, ByteSeq(), std::string()};
  std::string bytes;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) {
    source.failure = "read error";
    return source;
  }
  source.bytes = ByteSeq(std::move(bytes));
  return source;
}

// A field for the terminal: UTF-8, with the reader's CR LF line breaks shown as plain line ends.
std::string forTerminal(const GbkText& field) {
  std::string utf8 = gbkToUtf8(field.view());
  std::string shown;
  shown.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
    shown.push_back(utf8[i]);
  }
  return shown;
}

std::string jsonString(std::string_view utf8) {
  std::string quoted = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': quoted += "\\\""; break;
      case '\\': quoted += "\\\\"; break;
      case '\n': quoted += "\\n"; break;
      case '\r': quoted += "\\r"; break;
      case '\t': quoted += "\\t"; break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", c);
          quoted += escape;
        } else {
          quoted.push_back(static_cast<char>(c));
        }
    }
  }
  return quoted + "\"";
}

void writeArticle(const Options& options, const std::string& source, const ArticleResult& article,
                  bool separateArticles, std::ostream& out) {
  if (options.json) {
    out << "{\"source\":" << jsonString(source)
        << ",\"title\":" << jsonString(gbkToUtf8(article.title.view()))
        << ",\"time\":" << jsonString(gbkToUtf8(article.time.view()))
        << ",\"body\":" << jsonString(gbkToUtf8(article.body.view())) << "}\n";
    return;
  }
  if (separateArticles) out << "==> " << source << " <==\n";
  if (options.encoding == OutputEncoding::Gbk) {
    // The exact bytes of the extraction: tools compare this form byte for byte.
    out << article.title.view() << '\n' << article.time.view() << "\n\n" << article.body.view();
    if (separateArticles) out << "\n\n";
    return;
  }
  out << forTerminal(article.title) << '\n' << forTerminal(article.time) << "\n\n" << forTerminal(article.body) << '\n';
  if (separateArticles) out << '\n';
}

// The fatal report goes to standard error in the terminal's own encoding.
void reportOnTerminal(const GbkText& report) {
  const char* codeset = nl_langinfo(CODESET);
  std::string_view name = codeset ? codeset : "";
  std::string shown = (name.find("GB") != std::string_view::npos) ? report.bytes() : gbkToUtf8(report.view());
  std::cerr << shown << std::flush;
}

}  // namespace

int runCommandLineReader(int argc, char** argv, std::istream& in, std::ostream& out, std::ostream& err) {
  std::setlocale(LC_ALL, "");
  setFatalReportSink(reportOnTerminal);

  Options options;
  CLI::App app{"Reads the article out of Chinese news pages: its title, date and body."};
  app.name("article-extract");
  app.set_version_flag("--version", std::string("article-extract ") + READER_VERSION);
  app.add_option("INPUT", options.inputs,
                 "Page to read: a file, - for standard input, or an http:// or https:// address.\n"
                 "Without one, the bundled sample page is read.");
  app.add_flag("--json", options.json, "One JSON object per input per line: source, title, time, body (UTF-8).");
  std::map<std::string, OutputEncoding> encodings{{"utf-8", OutputEncoding::Utf8}, {"gbk", OutputEncoding::Gbk}};
  app.add_option("--encoding", options.encoding,
                 "utf-8 (default): fields converted to UTF-8, line ends as LF.\n"
                 "gbk: the extraction's exact bytes (code page 936, CR LF kept).")
      ->transform(CLI::CheckedTransformer(encodings, CLI::ignore_case));
  app.add_option("--repeat", options.repeat,
                 "Extract each page N times and report the time per extraction on standard error "
                 "(for measuring; the article is printed once).")
      ->check(CLI::PositiveNumber);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    return app.exit(error, out, err);
  }

  clearPunctuationMarks();
  if (options.inputs.empty()) options.inputs.push_back(READER_SAMPLE_PAGE);
  const bool separateArticles = options.inputs.size() > 1 && !options.json;
  int status = 0;
  for (const std::string& input : options.inputs) {
    PageSource source = readInput(input, in);
    if (!source.failure.empty()) {
      err << "article-extract: " << input << ": " << source.failure << '\n';
      status = 1;
      if (source.bytes.empty()) continue;  // a fetch that broke off still shows what arrived
    }
    ArticleResult article;
    const auto started = std::chrono::steady_clock::now();
    for (int round = 0; round < options.repeat; ++round) article = extractArticle(source.bytes);
    if (options.repeat > 1) {
      const std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - started;
      err << "article-extract: " << input << ": " << options.repeat << " extractions, "
          << spent.count() / options.repeat << " ms each\n";
    }
    writeArticle(options, input, article, separateArticles, out);
  }
  out.flush();
  releasePunctuationMarks();
  return status;
}

}  // namespace reader
