// The macro recorder: recording from real keys and the input method, the file format (checked
// with xxd), the text forms, playing into another editor, and loading what is not a macro.
#include "editor/RidMacroRecorder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QtTest/QTest>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "editor/RidEder.h"
#include "platform/Menus.h"
#include "tests/FileFaults.h"
#include "tests/TestSupport.h"
#include "tests/editor/EderScript.h"
#include "tests/editor/ShownEder.h"

namespace rid {
namespace {

constexpr Qt::KeyboardModifiers CtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

using TEder = test::TShownEder;

// A recorder that logs its states as OnStateChange reports them.
struct TLoggedRecorder {
  TRidMacroRecorder R{nullptr};
  std::vector<TRidMacroState> States;
  TLoggedRecorder() {
    R.OnStateChange = [this](TObject*) { States.push_back(R.GetState()); };
  }
};

std::string Saved(const TCustomRidMacroRecorder& R) {
  TMemoryStream s;
  R.SaveToStream(&s);
  return std::string(s.Bytes());
}

void Load(TCustomRidMacroRecorder& R, std::string_view Bytes) {
  TMemoryStream s;
  s.WriteBuffer(Bytes);
  s.SetPosition(0);
  R.LoadFromStream(&s);
}

std::vector<std::string> Texts(const TCustomRidMacroRecorder& R) {
  std::vector<std::string> texts;
  for (int32_t i = 0; i < R.GetEventCount(); ++i) texts.push_back(R.GetEvents(i)->AsString());
  return texts;
}

std::string LE32(int32_t V) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(static_cast<uint32_t>(V) >> (8 * i));
  return s;
}
std::string LE16(uint16_t V) { return {static_cast<char>(V & 0xFF), static_cast<char>(V >> 8)}; }

// One event of each kind: a char, a string with a quote, a position with a count, a basic one.
std::string EveryKindFile() {
  return LE32(4) + LE16(ecChar) + "x\x01" + LE16(ecString) + LE32(5) + std::string("it's\0", 5) +
         "\x02" + LE16(ecGotoXY) + "\x03" + LE32(5) + LE32(7) + LE16(ecDeleteLastChar) + "\x01";
}

// --- the file format

TEST(RidMacroRecorder, KeysAndAMoveSaveAsTheFormatSaysAndLoadBack) {
  RID_NEED_TOOL("xxd", "xxd");
  TEder e;
  TRidMacroRecorder R(nullptr);
  R.AddEditor(&e.Ed);
  e.Key(Qt::Key_R, CtrlShift);
  ASSERT_EQ(R.GetState(), mrsRecording);
  e.Key(Qt::Key_A);
  e.Key(Qt::Key_B);
  e.Key(Qt::Key_Return);
  TBufferCoord to{5, 2};
  e.Run(ecGotoXY, '\0', &to);
  e.Key(Qt::Key_R, CtrlShift);
  ASSERT_EQ(R.GetState(), mrsStopped);
  test::TempDir dir;
  const std::string file = (dir / "typing.mcr").string();
  R.SaveToFile(file);
  EXPECT_EQ(test::RunTool("xxd -p " + file),
            "04000000ff016101ff016201fd01011100010500000002000000\n");
  TRidMacroRecorder back(nullptr);
  back.LoadFromFile(file);
  EXPECT_EQ(Texts(back),
            (std::vector<std::string>{"ecChar a", "ecChar b", "ecLineBreak", "ecGotoXY (5, 2)"}));
  EXPECT_EQ(back.GetMacroName(), "typing");
  EXPECT_EQ(Saved(back), Saved(R));
}

TEST(RidMacroRecorder, TextFormsWriteAndParseBack) {
  TRidMacroRecorder R(nullptr);
  Load(R, EveryKindFile());
  EXPECT_EQ(Texts(R), (std::vector<std::string>{"ecChar x", "ecString 'it''s' 2",
                                                "ecGotoXY 3 (5, 7) 3", "ecDeleteLastChar"}));
  EXPECT_EQ(Saved(R), EveryKindFile());
  // Each text form, past its command name and blank, parses back to the same event.
  for (int32_t i = 0; i < R.GetEventCount(); ++i) {
    TRidMacroEvent* e = R.GetEvents(i);
    const std::string text = e->AsString();
    const std::string before = text;
    e->ParseParameters(std::string_view(text).substr(text.find(' ') + 1));
    EXPECT_EQ(e->AsString(), before);
  }
  EXPECT_EQ(Saved(R), EveryKindFile());
}

TEST(RidMacroRecorder, ParsingParametersTakesCountsWithinOneTo255) {
  struct Case {
    TRidEderorCommand Command;
    const char* Params;
    const char* Want;
  };
  const Case cases[] = {
      {ecDeleteChar, "", "ecDeleteChar"},
      {ecDeleteChar, " 7 ", "ecDeleteChar 7"},
      {ecDeleteChar, "255", "ecDeleteChar 255"},
      {ecDeleteChar, "256", "ecDeleteChar 255"},  // not 0, which never plays
      {ecDeleteChar, "99999", "ecDeleteChar 255"},
      {ecDeleteChar, "0", "ecDeleteChar"},
      {ecDeleteChar, "-3", "ecDeleteChar"},
      {ecDeleteChar, "abc", "ecDeleteChar"},
      {ecDeleteChar, "99999999999", "ecDeleteChar"},  // not an integer at all
      {1500, "3", " 3"},                              // a command without a name
      {ecChar, "", "ecChar  "},
      {ecChar, "q", "ecChar q"},
      {ecChar, "q 300", "ecChar q 255"},
      {ecChar, "  4", "ecChar   4"},  // the key is a blank
      {ecString, "'a''b' 3", "ecString 'a''b' 3"},
      {ecString, "''", "ecString ''"},
      {ecString, "'\x83\x5c\x95\x5c'", "ecString '\x83\x5c\x95\x5c'"},  // ソ表: trail bytes "\"
      {ecString, "no quotes", "ecString ''"},
      {ecString, "' 1000", "ecString '' 255"},
      {ecGotoXY, "(5, 7)", "ecGotoXY (5, 7)"},
      {ecGotoXY, "3 (5, 7) 3", "ecGotoXY 3 (5, 7) 3"},
      {ecGotoXY, "( -2 ,x) 256", "ecGotoXY 255 (-2, 1) 255"},
      {ecGotoXY, "4", "ecGotoXY 4 (0, 0) 4"},  // no place: the basic form
      {ecGotoXY, ") , (", "ecGotoXY (0, 0)"},
      {ecSetMarker3, "(1, 2) 0", "ecSetMarker3 (1, 2)"},
  };
  TRidMacroRecorder R(nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.Command) + " " + c.Params);
    Load(R, LE32(1) + LE16(c.Command) +
                (c.Command == ecChar     ? std::string("\0\x01", 2)
                 : c.Command == ecString ? LE32(1) + std::string("\0\x01", 2)
                 : c.Command == ecGotoXY || c.Command == ecSetMarker3 ? "\x01" + LE32(0) + LE32(0)
                                                                      : "\x01"));
    TRidMacroEvent* e = R.GetEvents(0);
    e->ParseParameters(c.Params);
    EXPECT_EQ(e->AsString(), c.Want);
  }
}

// --- loading what is not a macro

// Every cut of a valid file, impossible counts and lengths: EReadError, and the events of
// before stay. A missing 0 byte ends the text at its length.
TEST(RidMacroRecorder, LoadingRefusesCutAndImpossibleStreamsAndKeepsTheMacro) {
  TRidMacroRecorder R(nullptr);
  const std::string kept = LE32(1) + LE16(ecChar) + "k\x01";
  const std::string file = EveryKindFile();
  std::vector<std::string> bad;
  for (size_t n = 0; n < file.size(); ++n) bad.push_back(file.substr(0, n));
  const std::string one = LE32(1) + LE16(ecString);
  for (int32_t n : {0, -1, 5, 0x7FFFFFFF, static_cast<int32_t>(0x80000000)})
    bad.push_back(one + LE32(n) + "ab\x01");
  bad.push_back(LE32(-1));
  bad.push_back(LE32(2) + LE16(ecChar) + "x\x01");                // one event of two
  bad.push_back(LE32(0x7FFFFFFF) + LE16(ecDeleteChar) + "\x01");  // a count far past the bytes
  for (const std::string& b : bad) {
    SCOPED_TRACE(testing::PrintToString(b));
    Load(R, kept);
    try {
      Load(R, b);
      ADD_FAILURE() << "loaded";
    } catch (const EReadError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with("It is ")) << e.what();  // not a bare error
    }
    EXPECT_EQ(Saved(R), kept);
  }
  Load(R, one + LE32(2) + "ab\x03");
  EXPECT_EQ(Texts(R), std::vector<std::string>{"ecString 'ab' 3"});
  Load(R, one + LE32(4) + std::string("a\0b\0", 4) + "\x01");
  EXPECT_EQ(Texts(R), std::vector<std::string>{"ecString 'a'"});
  Load(R, file + "trailing bytes");
  EXPECT_EQ(Saved(R), file);
  Load(R, LE32(0));
  EXPECT_TRUE(R.IsEmpty());
  test::TempDir dir;
  EXPECT_THROW(R.LoadFromFile((dir / "missing.mcr").string()), EFOpenError);
}

// Random bytes and random damage to a valid file either load (and then save and load back
// the same) or raise EReadError.
TEST(RidMacroRecorder, AnyBytesLoadOrRaiseEReadError) {
  std::mt19937 rng(21);
  const std::string file = EveryKindFile();
  TRidMacroRecorder R(nullptr), Again(nullptr);
  int loaded = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string b;
    if (round % 2) {
      b = file;
      for (int k = rng() % 4; k >= 0; --k) b[rng() % b.size()] = static_cast<char>(rng());
    } else {
      b = LE32(rng() % 6);
      for (int k = rng() % 40; k > 0; --k) b += static_cast<char>(rng() % 3 ? rng() % 8 : rng());
    }
    try {
      Load(R, b);
    } catch (const EReadError&) {
      continue;
    }
    ++loaded;
    Load(Again, Saved(R));
    EXPECT_EQ(Saved(Again), Saved(R));
  }
  EXPECT_GT(loaded, 100);
}

// --- recording and playing

TEST(RidMacroRecorder, InputMethodTextIsRecordedAndPlaysAsCharacters) {
  TEder a, b;
  TRidMacroRecorder R(nullptr);
  R.AddEditor(&a.Ed);
  R.RecordMacro(&a.Ed);
  a.Commit("日本");
  a.Key(Qt::Key_X);
  a.Commit("ソAB");
  R.Stop();
  ASSERT_EQ(R.GetEventCount(), 3);
  auto* ime = dynamic_cast<TRidStringEvent*>(R.GetEvents(0));
  ASSERT_NE(ime, nullptr);
  EXPECT_EQ(ime->GetValue(), "\x93\xfa\x96\x7b");
  // Stored as a text event: files keep the layout they always had.
  EXPECT_EQ(Saved(R).substr(4, 2 + 4 + 5),
            LE16(ecString) + LE32(5) + std::string("\x93\xfa\x96\x7b\0", 5));
  R.PlaybackMacro(&b.Ed);
  // Played a byte at a time, ソ (83 5C) stays whole before "AB": no ア and "\".
  EXPECT_EQ(b.Ed.GetText(),
            "\x93\xfa\x96\x7bx\x83\x5c"
            "AB");
  EXPECT_EQ(b.Ed.GetText(), a.Ed.GetText());
  EXPECT_EQ(b.Ed.GetCaretXY(), a.Ed.GetCaretXY());
}

TEST(RidMacroRecorder, AnInputMethodEventWithoutTextPlaysAsNothing) {
  TEder e;
  std::vector<TRidEderorCommand> seen;
  e.Ed.OnProcessCommand = [&](TObject*, TRidEderorCommand& C, char&, void*) { seen.push_back(C); };
  TRidMacroRecorder R(nullptr);
  Load(R, LE32(2) + LE16(ecImeStr) + "\x01" + LE16(ecChar) + "z\x01");
  R.PlaybackMacro(&e.Ed);
  EXPECT_EQ(seen, std::vector<TRidEderorCommand>{ecChar});
  EXPECT_EQ(e.Ed.GetText(), "z");
}

// Random typing (ASCII, double-byte characters as two bytes, Japanese through the input
// method), line breaks, moves with and without selection, deletes, jumps and bookmarks,
// recorded in one editor, saved, loaded and played into another from the same start: the same
// text, caret and bookmarks.
TEST(RidMacroRecorder, PlayingARecordingRepeatsItsEdits) {
  const std::string start =
      "first line\r\n\x93\xfa\x96\x7b\x8c\xea text\r\n\tindented \x83\x5c\r\n";
  const char* const ime[] = {"\x93\xfa\x96\x7b", "\x83\x5c\x81\x5b\x83\x58", "\x95\x5c",
                             "\x94\x5c\x97\xcd", "\x82\xa0"};
  const TRidEderorCommand moves[] = {ecLeft,       ecRight,     ecUp,          ecDown,
                                     ecWordLeft,   ecWordRight, ecLineStart,   ecLineEnd,
                                     ecSelLeft,    ecSelRight,  ecSelUp,       ecSelWordRight,
                                     ecSelLineEnd, ecEditorTop, ecEditorBottom};
  const TRidEderorCommand deletes[] = {ecDeleteLastChar, ecDeleteChar, ecDeleteWord,
                                       ecDeleteLastWord, ecDeleteEOL,  ecDeleteLine};
  std::mt19937 rng(2110);
  auto pick = [&](auto& Array) { return Array[rng() % std::size(Array)]; };
  for (int round = 0; round < 60; ++round) {
    SCOPED_TRACE(round);
    TEder a, b;
    a.Ed.SetText(start);
    b.Ed.SetText(start);
    TRidMacroRecorder R(nullptr);
    R.AddEditor(&a.Ed);
    R.RecordMacro(&a.Ed);
    for (int step = 0; step < 40; ++step) {
      switch (rng() % 8) {
        case 0:
          a.Run(ecChar, static_cast<char>('a' + rng() % 26));
          break;
        case 1:
          a.Run(ecChar, '\x82');  // あ typed as its two bytes
          a.Run(ecChar, '\xa0');
          break;
        case 2:
          a.Run(ecImeStr, '\0', const_cast<char*>(pick(ime)));
          break;
        case 3:
          a.Run(ecLineBreak);
          break;
        case 4:
          a.Run(pick(moves));
          break;
        case 5:
          a.Run(pick(deletes));
          break;
        case 6: {
          TBufferCoord to{1 + static_cast<int32_t>(rng() % 16),
                          1 + static_cast<int32_t>(rng() % 5)};
          a.Run(rng() % 2 ? ecGotoXY : ecSelGotoXY, '\0', &to);
          break;
        }
        default: {
          const int32_t mark = static_cast<int32_t>(rng() % 3);
          TBufferCoord at{1 + static_cast<int32_t>(rng() % 8), 1 + static_cast<int32_t>(rng() % 3)};
          if (rng() % 3 == 0)
            a.Run(ecGotoMarker0 + mark);
          else
            a.Run(ecSetMarker0 + mark, '\0', rng() % 2 ? &at : nullptr);
        }
      }
    }
    R.Stop();
    TRidMacroRecorder loaded(nullptr);
    Load(loaded, Saved(R));
    loaded.PlaybackMacro(&b.Ed);
    ASSERT_EQ(b.Ed.GetText(), a.Ed.GetText()) << testing::PrintToString(Texts(R));
    EXPECT_EQ(b.Ed.GetCaretXY(), a.Ed.GetCaretXY());
    EXPECT_EQ(b.Ed.GetSelText(), a.Ed.GetSelText());
    for (int32_t m = 0; m < 3; ++m) {
      int32_t ax = 0, ay = 0, bx = 0, by = 0;
      EXPECT_EQ(a.Ed.GetBookMark(m, ax, ay), b.Ed.GetBookMark(m, bx, by));
      EXPECT_EQ((TBufferCoord{ax, ay}), (TBufferCoord{bx, by}));
    }
  }
}

// Random macro files played into a file with unsaved typing, with the window's options: a
// played macro never loses text without a trace. The text stays modified when it differs from
// the file, undoing every step gives the file back, unmodified, and redoing them gives the
// played text back (as many redos as undos). The events take places outside the text and on trail
// bytes, and every other command of the key-command table: clear all, cut, copy and paste, undo
// and redo of their own, the page moves among them.
TEST(RidMacroRecorder, APlayedMacroCanAlwaysBeTakenBackAndPlayedAgain) {
  const std::string file = "\x95\x5c ab\r\n\x93\xfa\x83\x5c cd\r\n\tef \x82\xa0\r\n";
  const std::vector<TRidEderorCommand> basic = script::MacroCommands(false);
  std::mt19937 rng(4242);
  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE(round);
    const int32_t count = 1 + static_cast<int32_t>(rng() % 12);
    std::string macro = LE32(count);
    for (int32_t i = 0; i < count; ++i) {
      switch (rng() % 4) {
        case 0:
          macro += LE16(basic[rng() % std::size(basic)]) + static_cast<char>(1 + rng() % 3);
          break;
        case 1:
          macro += LE16(ecChar) + static_cast<char>("x\x93\xfa\x5c "[rng() % 5]) + "\x01";
          break;
        case 2:
          macro += LE16(ecString) + LE32(3) + std::string("\x83\x5c\0", 3) + "\x01";
          break;
        default:  // lines and columns outside the text too
          macro += LE16(rng() % 2 ? ecGotoXY : ecSelGotoXY) + "\x01" +
                   LE32(static_cast<int32_t>(rng() % 9) - 1) +
                   LE32(static_cast<int32_t>(rng() % 7) - 2);
      }
    }
    TEder e;
    e.Ed.GetLines()->LoadFromBytes(file);
    e.Ed.SetModified(false);
    e.Run(ecChar, 'z');  // unsaved typing
    TRidMacroRecorder R(nullptr);
    Load(R, macro);
    R.AddEditor(&e.Ed);
    R.PlaybackMacro(&e.Ed);
    const std::string played = e.Saved();
    SCOPED_TRACE(testing::PrintToString(Texts(R)));
    EXPECT_TRUE(played == file || e.Ed.GetModified());
    int undone = 0;
    for (; e.Ed.CanUndo(); ++undone) e.Ed.Undo();
    EXPECT_EQ(e.Saved(), file);
    EXPECT_FALSE(e.Ed.GetModified());
    for (int i = 0; i < undone; ++i) e.Ed.Redo();  // what the macro undid itself stays undone
    EXPECT_EQ(e.Saved(), played);
  }
}

TEST(RidMacroRecorder, SaveMarkerPosKeepsTheCaretOfABookmark) {
  TEder a, b;
  a.Ed.SetText("one\r\ntwo three\r\n");
  b.Ed.SetText("one\r\ntwo three\r\n");
  TRidMacroRecorder R(nullptr);
  R.SetSaveMarkerPos(true);
  R.AddEditor(&a.Ed);
  R.RecordMacro(&a.Ed);
  TBufferCoord at{5, 2};
  a.Run(ecGotoXY, '\0', &at);
  a.Run(ecSetMarker3);
  R.Stop();
  EXPECT_EQ(Texts(R).back(), "ecSetMarker3 (5, 2)");
  TBufferCoord elsewhere{1, 1};
  b.Run(ecGotoXY, '\0', &elsewhere);
  R.GetEvents(0)->ParseParameters("(1, 1)");  // only the bookmark says where
  R.PlaybackMacro(&b.Ed);
  int32_t x = 0, y = 0;
  ASSERT_TRUE(b.Ed.GetBookMark(3, x, y));
  EXPECT_EQ((TBufferCoord{x, y}), (TBufferCoord{5, 2}));
}

TEST(RidMacroRecorder, UserCommandsAskTheApplicationForTheirEvent) {
  TEder e;
  TRidMacroRecorder R(nullptr);
  R.OnUserCommand = [](TObject*, TRidEderorCommand C, std::unique_ptr<TRidMacroEvent>& Event) {
    if (C != 2000) return;
    auto text = std::make_unique<TRidStringEvent>();
    text->SetValue("user");
    Event = std::move(text);
  };
  R.AddEditor(&e.Ed);
  R.RecordMacro(&e.Ed);
  e.Run(1500);
  R.Stop();
  EXPECT_EQ(dynamic_cast<TRidBasicEvent*>(R.GetEvents(0))->GetCommand(), 1500);
  Load(R, LE32(1) + LE16(2000) + LE32(2) + std::string("u\0", 2) + "\x01");
  EXPECT_EQ(Texts(R), std::vector<std::string>{"ecString 'u'"});
}

// --- states and keys

TEST(RidMacroRecorder, ThePlaybackKeyPausesAndResumesAndTheRecordKeyStops) {
  TEder e;
  TLoggedRecorder L;
  L.R.AddEditor(&e.Ed);
  e.Key(Qt::Key_R, CtrlShift);
  e.Key(Qt::Key_A);
  e.Key(Qt::Key_P, CtrlShift);
  e.Key(Qt::Key_B);  // not recorded while paused
  EXPECT_THROW(L.R.PlaybackMacro(&e.Ed), Exception);
  e.Key(Qt::Key_P, CtrlShift);
  e.Key(Qt::Key_C);
  e.Key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(L.States,
            (std::vector<TRidMacroState>{mrsRecording, mrsPaused, mrsRecording, mrsStopped}));
  EXPECT_EQ(Texts(L.R), (std::vector<std::string>{"ecChar a", "ecChar c"}));
  EXPECT_EQ(e.Ed.GetText(), "abc");
  e.Key(Qt::Key_P, CtrlShift);
  EXPECT_EQ(e.Ed.GetText(), "abcac");
  EXPECT_EQ(L.States.size(), 6u);
  EXPECT_EQ(L.States[4], mrsPlaying);
}

TEST(RidMacroRecorder, StateErrorsChangeNothing) {
  struct Case {
    TRidMacroState From;
    void (*Call)(TCustomRidMacroRecorder&, TRidEder&);
    const char* Message;
  };
  const Case cases[] = {
      {mrsRecording, [](auto& R, auto& E) { R.RecordMacro(&E); },
       "Cannot record macro; already recording or playing"},
      {mrsPaused, [](auto& R, auto& E) { R.RecordMacro(&E); },
       "Cannot record macro; already recording or playing"},
      {mrsStopped, [](auto& R, auto&) { R.Pause(); }, "Can only pause when recording"},
      {mrsPaused, [](auto& R, auto&) { R.Pause(); }, "Can only pause when recording"},
      {mrsRecording, [](auto& R, auto&) { R.Resume(); }, "Can only resume when paused"},
      {mrsPaused, [](auto& R, auto& E) { R.PlaybackMacro(&E); },
       "Cannot playback macro; already playing or recording"},
      {mrsRecording, [](auto& R, auto& E) { R.PlaybackMacro(&E); },
       "Cannot playback macro; already playing or recording"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Message);
    TEder e;
    TLoggedRecorder L;
    if (c.From != mrsStopped) L.R.RecordMacro(&e.Ed);
    if (c.From == mrsPaused) L.R.Pause();
    const size_t told = L.States.size();
    try {
      c.Call(L.R, e.Ed);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& x) {
      EXPECT_EQ(x.Message, c.Message);
    }
    EXPECT_EQ(L.R.GetState(), c.From);
    EXPECT_EQ(L.States.size(), told);
  }
  // While playing, recording is refused too.
  TEder e;
  TLoggedRecorder L;
  Load(L.R, LE32(1) + LE16(ecChar) + "q\x01");
  std::string message;
  e.Ed.OnProcessCommand = [&](TObject*, TRidEderorCommand&, char&, void*) {
    try {
      L.R.RecordMacro(&e.Ed);
    } catch (const Exception& x) {
      message = x.Message;
    }
  };
  L.R.PlaybackMacro(&e.Ed);
  EXPECT_EQ(message, "Cannot record macro; already recording or playing");
  EXPECT_EQ(L.States, (std::vector<TRidMacroState>{mrsPlaying, mrsStopped}));
}

TEST(RidMacroRecorder, AnExceptionDuringPlaybackStopsItAndPassesOn) {
  TEder e;
  TLoggedRecorder L;
  Load(L.R,
       LE32(3) + LE16(ecChar) + "a\x01" + LE16(ecDeleteChar) + "\x01" + LE16(ecChar) + "b\x01");
  e.Ed.OnProcessCommand = [](TObject*, TRidEderorCommand& C, char&, void*) {
    if (C == ecDeleteChar) throw Exception("refused");
  };
  EXPECT_THROW(L.R.PlaybackMacro(&e.Ed), Exception);
  EXPECT_EQ(L.R.GetState(), mrsStopped);
  EXPECT_EQ(e.Ed.GetPaintLock(), 0);
  EXPECT_EQ(L.States, (std::vector<TRidMacroState>{mrsPlaying, mrsStopped}));
  EXPECT_EQ(e.Ed.GetText(), "a");
  e.Ed.OnProcessCommand = nullptr;
  L.R.PlaybackMacro(&e.Ed);  // the recorder works on
  EXPECT_EQ(e.Ed.GetText(), "aab");
}

// --- painting during playback

// An editor fully painted, its caret line coloured so that every change of line repaints.
struct TPaintedEder : TEder {
  int Paints = 0;
  explicit TPaintedEder(const std::string& Text) {
    Ed.SetText(Text);
    Ed.SetActiveLineColor(clYellow);
    Ed.OnPaint = [this](TObject*, TCanvas*) { ++Paints; };
    Ed.Invalidate();
    Ed.Update();
    Paints = 0;
  }
  QImage Repainted() {
    Ed.Invalidate();
    Ed.Update();
    return Ed.Picture();
  }
};

// The bounding box of the pixels where A and B differ.
QRect Difference(const QImage& A, const QImage& B) {
  QRect box;
  for (int y = 0; y < std::min(A.height(), B.height()); ++y)
    for (int x = 0; x < std::min(A.width(), B.width()); ++x)
      if ((A.pixel(x, y) & 0xFFFFFF) != (B.pixel(x, y) & 0xFFFFFF)) box |= QRect(x, y, 1, 1);
  return box;
}

// Random moves (some scrolling or selecting) and typing, run one at a time as keys run them,
// played back from a recording, and run under BeginUpdate. One at a time, no command paints
// more than once and each move to another line paints at once; played or under the lock, the
// whole run paints once and then shows the picture of the commands run one at a time, with the
// caret drawn in its cell.
TEST(RidMacroRecorder, ARunOfCommandsPaintsOnceAndShowsItsEnd) {
  std::string text;
  for (int i = 1; i <= 60; ++i) text += "line " + std::to_string(i) + " of the text\r\n";
  const TRidEderorCommand commands[] = {ecChar,    ecChar,      ecUp,       ecDown,
                                        ecDown,    ecLeft,      ecRight,    ecLineEnd,
                                        ecSelDown, ecLineBreak, ecPageDown, ecPageUp};
  std::mt19937 rng(4711);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    std::vector<TRidEderorCommand> run(50);
    for (auto& c : run) c = commands[rng() % std::size(commands)];
    TPaintedEder one(text), played(text), locked(text);
    TRidMacroRecorder R(nullptr);
    R.AddEditor(&one.Ed);
    R.RecordMacro(&one.Ed);
    for (size_t i = 0; i < run.size(); ++i) {
      const int32_t line = one.Ed.GetCaretY();
      one.Paints = 0;
      one.Run(run[i], static_cast<char>('a' + i % 26));
      if ((run[i] == ecUp || run[i] == ecDown) && one.Ed.GetCaretY() != line) {
        EXPECT_EQ(one.Paints, 1) << i;
      }
      EXPECT_LE(one.Paints, 1) << i;
    }
    R.Stop();

    played.Ed.SetAlwaysShowCaret(true);
    R.PlaybackMacro(&played.Ed);
    EXPECT_EQ(played.Paints, 1);
    const QImage playedPicture = played.Ed.Picture();
    locked.Ed.BeginUpdate();
    for (size_t i = 0; i < run.size(); ++i) locked.Run(run[i], static_cast<char>('a' + i % 26));
    EXPECT_EQ(locked.Paints, 0);
    locked.Ed.EndUpdate();
    EXPECT_EQ(locked.Paints, 1);

    for (TPaintedEder* e : {&played, &locked}) {
      ASSERT_EQ(e->Ed.GetText(), one.Ed.GetText());
      EXPECT_EQ(e->Ed.GetCaretXY(), one.Ed.GetCaretXY());
      EXPECT_EQ(e->Ed.GetTopLine(), one.Ed.GetTopLine());
    }
    const QImage end = one.Repainted();
    EXPECT_EQ(Difference(playedPicture, end), QRect());
    EXPECT_EQ(Difference(locked.Ed.Picture(), end), QRect());

    // What a person sees: the picture with the caret drawn over it, in the caret's cell.
    const QRect caret = Difference(played.Ed.ClientWidget()->grab().toImage(), played.Ed.Picture());
    const TPoint cell = played.Ed.RowColumnToPixels(played.Ed.GetDisplayXY());
    ASSERT_FALSE(caret.isEmpty());
    // The line caret covers the left edge of its cell.
    EXPECT_LE(caret.left(), cell.X);
    EXPECT_GE(caret.right(), cell.X);
    EXPECT_GE(caret.top(), cell.Y);
    EXPECT_LE(caret.bottom(), cell.Y + played.Ed.GetLineHeight());
  }
}

// A handler that frees the editor when the playback starts ends it: nothing touches the editor
// afterwards.
TEST(RidMacroRecorder, AnEditorFreedAsThePlaybackStartsStopsIt) {
  TLoggedRecorder L;
  Load(L.R, LE32(2) + LE16(ecChar) + "a\x01" + LE16(ecDown) + "\x01");
  auto e = std::make_unique<TEder>();
  L.R.OnStateChange = [&](TObject*) {
    L.States.push_back(L.R.GetState());
    if (L.R.GetState() == mrsPlaying) e.reset();
  };
  L.R.PlaybackMacro(&e->Ed);
  EXPECT_EQ(e, nullptr);
  EXPECT_EQ(L.States, (std::vector<TRidMacroState>{mrsPlaying, mrsStopped}));
  TEder other;
  L.R.PlaybackMacro(&other.Ed);  // the recorder works on
  EXPECT_EQ(other.Ed.GetText(), "a");
}

// A command handler that frees the editor in the middle of a repeated event ends the playback
// there: the repeats left are not played into the freed editor.
TEST(RidMacroRecorder, AnEditorFreedByACommandStopsTheRepeatsLeft) {
  const struct {
    const char* Name;
    std::string File;
  } events[] = {
      {"a command", LE32(1) + LE16(ecRight) + "\x05"},
      {"a character", LE32(1) + LE16(ecChar) + "a\x05"},
      {"a string", LE32(1) + LE16(ecString) + LE32(3) + std::string("ab\0", 3) + "\x05"},
  };
  for (const auto& ev : events) {
    SCOPED_TRACE(ev.Name);
    TLoggedRecorder L;
    Load(L.R, ev.File);
    auto e = std::make_unique<TEder>();
    int processed = 0;
    e->Ed.OnCommandProcessed = [&](TObject*, TRidEderorCommand&, char&, void*) {
      if (++processed == 2) e.reset();
    };
    L.R.PlaybackMacro(&e->Ed);
    EXPECT_EQ(e, nullptr);
    EXPECT_EQ(processed, 2);
    EXPECT_EQ(L.R.GetState(), mrsStopped);
  }
}

// A handler failing as the playback starts stops it and leaves the editor unlocked.
TEST(RidMacroRecorder, AHandlerFailingAsThePlaybackStartsStopsIt) {
  TEder e;
  TLoggedRecorder L;
  Load(L.R, LE32(1) + LE16(ecChar) + "a\x01");
  L.R.OnStateChange = [&](TObject*) {
    L.States.push_back(L.R.GetState());
    if (L.R.GetState() == mrsPlaying) throw Exception("refused");
  };
  EXPECT_THROW(L.R.PlaybackMacro(&e.Ed), Exception);
  EXPECT_EQ(L.States, (std::vector<TRidMacroState>{mrsPlaying, mrsStopped}));
  EXPECT_EQ(e.Ed.GetPaintLock(), 0);
  EXPECT_EQ(e.Ed.GetText(), "");
}

// A shortcut of 0 takes the key away and nothing else: the other key and recording go on,
// an editor attached meanwhile gets the other key, and a new shortcut binds again.
TEST(RidMacroRecorder, ZeroShortcutsLeaveTheOtherKeyAndRecordingWorking) {
  TEder a, b;
  TLoggedRecorder L;
  TRidMacroRecorder& R = L.R;
  R.AddEditor(&a.Ed);
  R.RecordMacro(&a.Ed);
  R.SetPlaybackShortCut(0);
  a.Key(Qt::Key_X);
  a.Key(Qt::Key_P, CtrlShift);  // no longer the recorder's: a control character, not typed
  EXPECT_EQ(R.GetState(), mrsRecording);
  a.Key(Qt::Key_R, CtrlShift);
  EXPECT_EQ(R.GetState(), mrsStopped);
  EXPECT_EQ(Texts(R), (std::vector<std::string>{"ecChar x", "ecChar \x10"}));
  EXPECT_EQ(a.Ed.GetText(), "x");
  R.SetRecordShortCut(0);
  R.AddEditor(&b.Ed);
  b.Key(Qt::Key_R, CtrlShift);
  EXPECT_EQ(R.GetState(), mrsStopped);
  R.SetPlaybackShortCut(ShortCut(VK_F9, {}));
  b.Key(Qt::Key_F9);
  EXPECT_EQ(b.Ed.GetText(), "x");
  a.Key(Qt::Key_F9);
  EXPECT_EQ(a.Ed.GetText(), "xx");
  R.SetRecordShortCut(ShortCut('R', {ssCtrl, ssShift}));
  b.Key(Qt::Key_R, CtrlShift);
  EXPECT_EQ(R.GetState(), mrsRecording);
  b.Key(Qt::Key_Y);
  b.Key(Qt::Key_R, CtrlShift);
  EXPECT_EQ(Texts(R), std::vector<std::string>{"ecChar y"});
}

TEST(RidMacroRecorder, AnEditorDetachedOrDestroyedWhileRecordedStopsTheRecording) {
  TLoggedRecorder L;
  {
    TEder e;
    L.R.AddEditor(&e.Ed);
    L.R.RecordMacro(&e.Ed);
    L.R.RemoveEditor(&e.Ed);
    EXPECT_EQ(L.R.GetState(), mrsStopped);
    EXPECT_EQ(L.R.GetCurrentEditor(), nullptr);
  }
  for (bool attached : {true, false}) {
    SCOPED_TRACE(attached);
    auto e = std::make_unique<TEder>();
    if (attached) L.R.AddEditor(&e->Ed);
    L.R.RecordMacro(&e->Ed);
    L.States.clear();
    e.reset();
    EXPECT_EQ(L.States, std::vector<TRidMacroState>{mrsStopped});
    EXPECT_EQ(L.R.GetCurrentEditor(), nullptr);
    EXPECT_EQ(L.R.GetEditorCount(), 0);
  }
}

TEST(RidMacroRecorder, AFailedSaveKeepsTheOldFile) {
  TRidMacroRecorder R(nullptr);
  Load(R, EveryKindFile());
  for (test::TSaveFault fault : test::AllSaveFaults()) {
    SCOPED_TRACE(test::SaveFaultName(fault));
    test::TFailingSave save(fault, "old macro");
    const std::string message = save.Run([&] { R.SaveToFile(save.Target.string()); });
    EXPECT_NE(message.find(save.Target.string()), std::string::npos) << message;
    EXPECT_EQ(test::ReadFileBytes(save.Kept()), "old macro");
  }
}

}  // namespace
}  // namespace rid
