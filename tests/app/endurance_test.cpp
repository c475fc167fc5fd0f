// A long session in the window: a thousand Reads of one page in a row, served on loopback. Resident
// memory must stay flat after a warm-up, and every Read must fill the boxes exactly as the first did.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/main_window.h"
#include "hardening/resident_memory.h"
#include "loopback_server.h"

// The sanitizer keeps freed memory aside for a while to catch late use of it, and that store grows to a
// quarter of a gigabyte before it levels off. Here memory must be handed back as the program would hand it
// back; late use is the other tests' business.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=0";
}

namespace reader {
namespace {

constexpr int kWarmUpReads = 300;
constexpr int kReads = 1000;
constexpr std::size_t kAllowedGrowthBytes = std::size_t{4} << 20;

// A real page of some size, so that anything a Read keeps of it would show: the largest page of the
// corpus under 128 KiB.
std::string corpusPage() {
  std::filesystem::path chosen;
  std::uintmax_t chosenSize = 0;
  for (const auto& entry : std::filesystem::directory_iterator(READER_CORPUS_DIR)) {
    if (entry.path().extension() != ".html") continue;
    const std::uintmax_t size = entry.file_size();
    if (size < (128u << 10) && (size > chosenSize || (size == chosenSize && entry.path() < chosen))) {
      chosen = entry.path();
      chosenSize = size;
    }
  }
  std::ifstream file(chosen, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

template <class Widget>
Widget* control(QWidget& window, const char16_t* name) {
  auto* found = window.findChild<Widget*>(QString::fromUtf16(name), Qt::FindDirectChildrenOnly);
  if (found == nullptr) ADD_FAILURE() << "no control named " << QString::fromUtf16(name).toStdString();
  return found;
}

TEST(WindowEndurance, ThousandReadsInARowKeepMemoryFlat) {
  const std::string page = corpusPage();
  ASSERT_GT(page.size(), 32u << 10);
  testing::LoopbackServer server(page);
  MainWindow window;
  window.showCentred();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  auto* address = control<QLineEdit>(window, u"编辑框1");
  auto* readButton = control<QPushButton>(window, u"按钮1");
  auto* title = control<QLineEdit>(window, u"编辑框2");
  auto* date = control<QLineEdit>(window, u"编辑框3");
  auto* body = control<QTextEdit>(window, u"超级编辑框1");
  ASSERT_TRUE(address && readButton && title && date && body);
  address->setText(QString::fromStdString(server.address("/page.html")));

  // Each Read as the user makes it, then whatever it left for the event loop (repaints among them).
  const auto read = [&] {
    QTest::mouseClick(readButton, Qt::LeftButton);
    QCoreApplication::processEvents();
  };
  for (int i = 0; i < kWarmUpReads; ++i) read();
  const QString firstTitle = title->text(), firstDate = date->text(), firstBody = body->toPlainText();
  ASSERT_FALSE(firstTitle.isEmpty());
  ASSERT_GT(firstBody.size(), 100);
  const std::size_t afterWarmUp = testing::residentBytes();
  ASSERT_GT(afterWarmUp, 0u);

  int differing = 0;
  for (int i = 0; i < kReads; ++i) {
    read();
    if (title->text() != firstTitle || date->text() != firstDate || body->toPlainText() != firstBody)
      ++differing;
  }
  const std::size_t atEnd = testing::residentBytes();

  EXPECT_EQ(differing, 0);
  EXPECT_EQ(server.requestLines().size(), static_cast<std::size_t>(kWarmUpReads + kReads));
  const long long growth = static_cast<long long>(atEnd) - static_cast<long long>(afterWarmUp);
  std::printf("%d Reads after a warm-up of %d: resident %zu KiB -> %zu KiB\n", kReads, kWarmUpReads,
              afterWarmUp >> 10, atEnd >> 10);
  EXPECT_LT(growth, static_cast<long long>(kAllowedGrowthBytes))
      << "resident memory grew by " << growth << " bytes";
}

}  // namespace
}  // namespace reader
