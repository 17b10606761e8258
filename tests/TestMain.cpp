#include <gtest/gtest.h>

#include <QApplication>

// Every test program runs with a real (headless) application object, so widgets, fonts
// and the clipboard work as they do in the editor.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
