// Key bindings a person keeps in the program's settings file reach every editor the window
// opens; what cannot be used is told once on the status line and the rest still applies.
#include "app/EderKeySettings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QStatusBar>
#include <QtTest/QTest>
#include <cstdlib>

#include "app/EderWindow.h"
#include "editor/RidEder.h"
#include "editor/RidEderKeyStrokeStore.h"
#include "platform/Registry.h"
#include "tests/FileLooks.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

class KeySettings : public ::testing::Test {
 protected:
  void SetUp() override { setenv("RIDEDER_REGISTRY", (Dir / "registry.ini").c_str(), 1); }
  void TearDown() override { unsetenv("RIDEDER_REGISTRY"); }
  // The settings file as a person writes it.
  void WriteSettings(const std::string& Text) { test::WriteFileBytes(Dir / "registry.ini", Text); }
  std::string File(const std::string& Name, const std::string& Text) {
    test::WriteFileBytes(Dir / Name, Text);
    return (Dir / Name).string();
  }
  static std::string Text(TRidEder& Ed) { return Ed.GetLines()->SaveToBytes(); }
  static void Press(TRidEder& Ed, Qt::Key Key) {
    Ed.SetFocus();
    QApplication::processEvents();
    QTest::keyClick(Ed.ClientWidget(), Key, Qt::ControlModifier);
  }
  test::TempDir Dir;
};

// Ctrl+Y deletes a line by default; the file moves that to Ctrl+D, and a line that is no
// binding is skipped and told once, however many editors there are.
TEST_F(KeySettings, ARebindingInTheFileReachesEveryEditor) {
  WriteSettings(
      "[HKEY_CURRENT_USER\\Software\\rideder\\Editor\\RemovedKeystrokes]\n"
      "\"1\"=\"ecDeleteLine,Ctrl+Y,\"\n"
      "[HKEY_CURRENT_USER\\Software\\rideder\\Editor\\AddedKeystrokes]\n"
      "\"1\"=\"ecDeleteLine,Ctrl+Nope,\"\n"
      "\"2\"=\"ecDeleteLine,Ctrl+D,\"\n");
  TEderWindow w({File("a.txt", "one\ntwo\n"), File("b.txt", "three\nfour\n")});
  w.show();
  QApplication::processEvents();
  const QString status = w.statusBar()->currentMessage();
  EXPECT_TRUE(status.startsWith("Key bindings skipped in " +
                                QString::fromStdString((Dir / "registry.ini").string())))
      << status.toStdString();
  EXPECT_EQ(status.count("ecDeleteLine,Ctrl+Nope,"), 1) << status.toStdString();
  EXPECT_FALSE(status.contains("Ctrl+D")) << status.toStdString();
  for (int page : {0, 1}) {
    SCOPED_TRACE(page);
    w.Tabs()->setCurrentIndex(page);
    TRidEder& ed = w.Eder(page);
    const std::string before = Text(ed);
    Press(ed, Qt::Key_Y);
    EXPECT_EQ(Text(ed), before);
    Press(ed, Qt::Key_D);
    EXPECT_EQ(Text(ed), before.substr(before.find('\n') + 1));
  }
  // A file dropped on the window later gets the bindings too, and nothing is told again.
  w.statusBar()->clearMessage();
  w.OpenDroppedFiles({File("c.txt", "five\nsix\n")});
  EXPECT_FALSE(w.statusBar()->currentMessage().contains("Nope"));
  Press(w.Eder(2), Qt::Key_D);
  EXPECT_EQ(Text(w.Eder(2)), "six\n");
}

// What the program's own store writes is what it reads back; an added binding that a default
// one would hide, and a value that is a number, are skipped and told.
TEST_F(KeySettings, WhatTheStoreWritesIsReadBackAndHiddenBindingsAreTold) {
  TRidEderKeyStrokes keys;
  keys.ResetDefaults();
  keys[keys.IndexOfShortcut(scCtrl | 'Z')]->SetCommand(ecRedo);
  keys.AddKey(ecUpperCase, 'U', {ssCtrl, ssAlt});
  const auto writeList = [](const char* List, const TRidEderKeyStrokes& Keys) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + kKeySettingsKey + "\\" + List, true));
    for (int32_t i = 0; i < Keys.GetCount(); ++i)
      reg.WriteString(std::to_string(i + 1), KeyStrokeToText(*Keys.GetItem(i)));
    reg.CloseKey();
  };
  writeList(SRemovedKeystrokes, *RemovedKeystrokes(keys, nullptr));
  writeList(SAddedKeystrokes, *AddedKeystrokes(keys, nullptr));
  {
    TEderKeySettings settings;
    EXPECT_TRUE(settings.Problems().empty());
    TRidEderKeyStrokes read;
    read.ResetDefaults();
    settings.ApplyTo(read);
    EXPECT_TRUE(
        CollectionsEqual(*RemovedKeystrokes(read, nullptr), *RemovedKeystrokes(keys, nullptr)));
    EXPECT_TRUE(CollectionsEqual(*AddedKeystrokes(read, nullptr), *AddedKeystrokes(keys, nullptr)));
  }
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(std::string("\\") + kKeySettingsKey + "\\" + SAddedKeystrokes, false));
    reg.WriteString("hidden", "ecSelectAll,Ctrl+C,");  // Ctrl+C copies, and stays
    reg.WriteInteger("number", 7);
    reg.CloseKey();
  }
  TEderKeySettings settings;
  ASSERT_EQ(settings.Problems().size(), 2u);
  EXPECT_EQ(settings.Problems()[0], "AddedKeystrokes \"number\" is a number");
  EXPECT_EQ(settings.Problems()[1],
            "AddedKeystrokes \"ecSelectAll,Ctrl+C,\": the keys are bound to ecCopy, which "
            "RemovedKeystrokes does not remove");
  TRidEderKeyStrokes read;
  read.ResetDefaults();
  settings.ApplyTo(read);
  EXPECT_EQ(read.GetCount(), keys.GetCount());
  EXPECT_EQ(read[read.IndexOfShortcut(scCtrl | 'Z')]->GetCommand(), ecRedo);
}

// No settings file, or one without key bindings: the defaults, and nothing told.
TEST_F(KeySettings, WithoutStoredBindingsTheDefaultsStay) {
  TEderKeySettings none;
  EXPECT_TRUE(none.Problems().empty());
  WriteSettings("[HKEY_CURRENT_USER\\Software\\rideder\\Print]\n\"Margin\"=\"x\"\n");
  TEderKeySettings other;
  EXPECT_TRUE(other.Problems().empty());
  TRidEderKeyStrokes keys, defaults;
  keys.ResetDefaults();
  defaults.ResetDefaults();
  other.ApplyTo(keys);
  EXPECT_TRUE(CollectionsEqual(keys, defaults));
}

// Bindings are read whatever breaks the file's lines: CR LF, LF, CR alone, or a mix.
TEST_F(KeySettings, BindingsAreReadWhateverEndsTheLines) {
  const std::string lines[] = {
      "; mine",
      "[HKEY_CURRENT_USER\\Software\\rideder\\Editor\\RemovedKeystrokes]",
      "\"1\"=\"ecDeleteLine,Ctrl+Y,\"",
      "[HKEY_CURRENT_USER\\Software\\rideder\\Editor\\AddedKeystrokes]",
      "\"1\"=\"ecDeleteLine,Ctrl+D,\"",
  };
  const struct {
    const char* What;
    std::vector<const char*> Ends;  // taken in turn
  } cases[] = {
      {"CR LF", {"\r\n"}}, {"LF", {"\n"}}, {"CR", {"\r"}}, {"mixed", {"\r", "\n", "\r\n"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    std::string text;
    for (size_t i = 0; i < std::size(lines); ++i) text += lines[i] + c.Ends[i % c.Ends.size()];
    WriteSettings(text);
    TEderKeySettings settings;
    EXPECT_TRUE(settings.Problems().empty());
    TRidEderKeyStrokes keys;
    keys.ResetDefaults();
    settings.ApplyTo(keys);
    EXPECT_LT(keys.IndexOfShortcut(scCtrl | 'Y'), 0);
    ASSERT_GE(keys.IndexOfShortcut(scCtrl | 'D'), 0);
    EXPECT_EQ(keys[keys.IndexOfShortcut(scCtrl | 'D')]->GetCommand(), ecDeleteLine);
  }
}

// Reading the bindings looks at the settings file as often for many as for one: once a list.
TEST_F(KeySettings, ReadingManyBindingsLooksAtTheFileAsOftenAsReadingOne) {
  const auto looksToRead = [&](int32_t Bindings) {
    std::string text = "[HKEY_CURRENT_USER\\Software\\rideder\\Editor\\AddedKeystrokes]\n";
    for (int32_t i = 0; i < Bindings; ++i)
      text += "\"" + std::to_string(i) + "\"=\"ecUpperCase,Ctrl+K,Ctrl+" +
              std::string(1, static_cast<char>('A' + i % 26)) + "\"\n";
    WriteSettings(text);
    TEderKeySettings{};  // reads the file anew
    test::TFileLooks looks(Dir / "registry.ini");
    TEderKeySettings settings;
    return looks.Count();
  };
  const int one = looksToRead(1);
  EXPECT_GT(one, 0);
  EXPECT_EQ(looksToRead(500), one);
}

}  // namespace
}  // namespace rid
