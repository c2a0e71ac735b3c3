#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// The document and view need a QApplication; without a display the tests
// run on Qt's offscreen platform.
int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
