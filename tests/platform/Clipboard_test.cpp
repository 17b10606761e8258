#include "platform/Clipboard.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "platform/Locale.h"

namespace rid {
namespace {

TEST(Clipboard, TextTravelsAsUtf8AndComesBackAsShiftJis) {
  const std::string text = Utf8ToSjis("日本語テキスト ｱｲｳ\r\nsecond ソ表");  // 表 ends in 0x5C
  ASSERT_TRUE(Clipboard()->SetAsText(text));
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            "日本語テキスト ｱｲｳ\r\nsecond ソ表");
  EXPECT_TRUE(Clipboard()->HasFormat(CF_TEXT));
  EXPECT_EQ(Clipboard()->GetAsText(), text);
  EXPECT_EQ(Clipboard()->LastTextLoss(), 0u);
  // CF_TEXT is all of the text, past a NUL too, for other programs as well.
  const std::string withNul("abc\0def", 7);
  ASSERT_TRUE(Clipboard()->SetBuffer(CF_TEXT, withNul));
  EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->data("text/plain").toStdString(), withNul);
  EXPECT_EQ(Clipboard()->GetAsText(), withNul);
}

TEST(Clipboard, TextWithoutAShiftJisFormIsCountedNotHidden) {
  QGuiApplication::clipboard()->setText(QString::fromUtf8("絵文字😀と€"));
  EXPECT_EQ(Clipboard()->GetAsText(), Utf8ToSjis("絵文字") + "?" + Utf8ToSjis("と") + "?");
  EXPECT_EQ(Clipboard()->LastTextLoss(), 2u);
  // Each read counts its own losses.
  std::string again;
  ASSERT_TRUE(Clipboard()->GetBuffer(CF_TEXT, again));
  EXPECT_EQ(Clipboard()->LastTextLoss(), 2u);
  QGuiApplication::clipboard()->setText("clean");
  ASSERT_TRUE(Clipboard()->GetBuffer(CF_TEXT, again));
  EXPECT_EQ(Clipboard()->LastTextLoss(), 0u);
}

TEST(Clipboard, RegisteredFormatsMapToMimeTypesAndKeepTheirBytes) {
  const uint32_t block = RegisterClipboardFormat("RidEder Control Block Type");
  EXPECT_GE(block, 0xC000u);
  EXPECT_EQ(RegisterClipboardFormat("rideder control block type"), block);
  EXPECT_EQ(ClipboardFormatMimeType(block), "application/x-rideder-block");
  EXPECT_EQ(ClipboardFormatMimeType(RegisterClipboardFormat("Rich Text Format")), "text/rtf");
  EXPECT_EQ(ClipboardFormatMimeType(RegisterClipboardFormat("HTML Format")), "text/html");
  EXPECT_EQ(RegisterClipboardFormat(""), 0u);
  EXPECT_EQ(ClipboardFormatMimeType(0xBFFF), "");
  // Names differing in a trail byte that looks like a letter (ア 83 41, ヂ 83 61) or only in
  // non-ASCII bytes stay distinct formats with distinct types.
  const uint32_t a = RegisterClipboardFormat("\x83\x41"), ji = RegisterClipboardFormat("\x83\x61");
  EXPECT_NE(a, ji);
  EXPECT_NE(ClipboardFormatMimeType(a), ClipboardFormatMimeType(ji));
  EXPECT_NE(ClipboardFormatMimeType(RegisterClipboardFormat("\x95\x5C")),
            ClipboardFormatMimeType(RegisterClipboardFormat("\x83\x5C")));
  EXPECT_NE(ClipboardFormatMimeType(RegisterClipboardFormat("My Format")),
            ClipboardFormatMimeType(RegisterClipboardFormat("My-Format")));

  // The editor's copy: text and its private block placed together.
  const std::string bytes = std::string("\x02", 1) + Utf8ToSjis("表\\") + std::string("\0", 1);
  ASSERT_TRUE(Clipboard()->Open());
  ASSERT_TRUE(Clipboard()->Clear());
  ASSERT_TRUE(Clipboard()->SetBuffer(CF_TEXT, Utf8ToSjis("表\\")));
  ASSERT_TRUE(Clipboard()->SetBuffer(block, bytes));
  // Nothing reaches the system clipboard before Close (it may hold no data at all yet).
  const QMimeData* pending = QGuiApplication::clipboard()->mimeData();
  EXPECT_FALSE(pending && pending->hasFormat("application/x-rideder-block"));
  ASSERT_TRUE(Clipboard()->Close());
  EXPECT_TRUE(Clipboard()->HasFormat(CF_TEXT));
  ASSERT_TRUE(Clipboard()->HasFormat(block));
  std::string got;
  ASSERT_TRUE(Clipboard()->GetBuffer(block, got));
  EXPECT_EQ(got, bytes);
  EXPECT_EQ(Clipboard()->GetAsText(), Utf8ToSjis("表\\"));

  // A new opening starts from an empty clipboard.
  ASSERT_TRUE(Clipboard()->Open());
  ASSERT_TRUE(Clipboard()->SetBuffer(block, "x"));
  ASSERT_TRUE(Clipboard()->Close());
  EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
  EXPECT_TRUE(Clipboard()->HasFormat(block));
}

TEST(Clipboard, FailuresAreReported) {
  ASSERT_TRUE(Clipboard()->SetAsText("keep"));
  EXPECT_FALSE(Clipboard()->SetBuffer(0x1234, "data"));  // no such format
  std::string got;
  EXPECT_FALSE(Clipboard()->GetBuffer(0x1234, got));
  EXPECT_FALSE(Clipboard()->GetBuffer(RegisterClipboardFormat("Never Set Here"), got));
  EXPECT_EQ(Clipboard()->GetAsText(), "keep");
  EXPECT_FALSE(Clipboard()->Close());  // not open
  ASSERT_TRUE(Clipboard()->Clear());
  EXPECT_FALSE(Clipboard()->HasFormat(CF_TEXT));
}

}  // namespace
}  // namespace rid
