#include "foundation/NkStream.h"

#include <gtest/gtest.h>

#include <random>

namespace rid {
namespace {

// A memory stream that counts the calls made to it and takes at most Capacity bytes in all,
// like a disk that fills up.
class TProbeStream : public TMemoryStream {
 public:
  int64_t Capacity = INT64_MAX;
  int Reads = 0, Writes = 0, Seeks = 0;
  int64_t Accepted = 0;

  int32_t Read(void* Buffer, int32_t Count) override {
    ++Reads;
    return TMemoryStream::Read(Buffer, Count);
  }
  int32_t Write(const void* Buffer, int32_t Count) override {
    ++Writes;
    int32_t n = static_cast<int32_t>(std::min<int64_t>(Count, Capacity - Accepted));
    n = TMemoryStream::Write(Buffer, n);
    Accepted += n;
    return n;
  }
  int64_t Seek(int64_t Offset, uint16_t Origin) override {
    if (!(Offset == 0 && Origin == soFromCurrent)) ++Seeks;
    return TMemoryStream::Seek(Offset, Origin);
  }
};

std::string Pattern(size_t N) {
  std::string s(N, '\0');
  for (size_t i = 0; i < N; ++i) s[i] = char('a' + i % 26);
  return s;
}

TEST(NkBufferedStream, RejectsBadSizesAndCounts) {
  TMemoryStream target;
  EXPECT_THROW(TNkBufferedStream(&target, 0), ENkSTreamError);
  try {
    TNkBufferedStream s(&target, -1);
  } catch (const ENkSTreamError& e) {
    // "バッファサイズが不正です" in code page 932
    EXPECT_STREQ(e.what(),
                 "TNkBufferedStream.Create: \x83\x6f\x83\x62\x83\x74\x83\x40\x83\x54\x83\x43\x83"
                 "\x59\x82\xaa\x95\x73\x90\xb3\x82\xc5\x82\xb7");
  }
  TNkBufferedStream s(&target, 4);
  char b[1];
  EXPECT_THROW(s.Read(b, -1), ENkSTreamError);
  EXPECT_THROW(s.Write(b, -1), ENkSTreamError);
}

TEST(NkBufferedStream, WriteAfterReadStartsAtTheLogicalPosition) {
  TMemoryStream target;
  target.WriteBuffer(Pattern(100));
  target.SetPosition(0);
  {
    TNkBufferedStream s(&target, 64);
    char b[10];
    EXPECT_EQ(s.Read(b, 10), 10);
    EXPECT_EQ(target.GetPosition(), 64);  // read ahead
    EXPECT_EQ(s.GetPosition(), 10);
    EXPECT_EQ(s.Write("XXXXX", 5), 5);
    EXPECT_EQ(s.GetPosition(), 15);
    EXPECT_EQ(s.Read(b, 3), 3);
    EXPECT_EQ(std::string(b, 3), Pattern(18).substr(15));
  }
  std::string expected = Pattern(100);
  expected.replace(10, 5, "XXXXX");
  EXPECT_EQ(target.Bytes(), expected);
}

TEST(NkBufferedStream, SeekFromCurrentLeavesTheTargetAlone) {
  TProbeStream target;
  target.WriteBuffer(Pattern(50));
  target.SetPosition(0);
  target.Seeks = 0;
  TNkBufferedStream s(&target, 16);
  char b[4];
  s.Read(b, 4);
  s.Write("ab", 2);
  int reads = target.Reads, writes = target.Writes, seeks = target.Seeks;
  EXPECT_EQ(s.Seek(0, soFromCurrent), 6);
  EXPECT_EQ(target.Reads, reads);
  EXPECT_EQ(target.Writes, writes);
  EXPECT_EQ(target.Seeks, seeks);
}

TEST(NkBufferedStream, WritesFullBuffersAndKeepsTheRestUntilFlushed) {
  TProbeStream target;
  std::string data = Pattern(10000);
  {
    TNkBufferedStream s(&target, 4096);
    EXPECT_EQ(s.Write(data.data(), 10000), 10000);
    EXPECT_EQ(target.Writes, 2);
    EXPECT_EQ(target.GetSize(), 8192);  // 1808 bytes waiting
    EXPECT_EQ(s.GetPosition(), 10000);
  }
  EXPECT_EQ(target.Bytes(), data);  // the destructor wrote them
}

TEST(NkBufferedStream, FlushReportsBytesTheTargetRefused) {
  TProbeStream target;
  target.Capacity = 9000;
  std::string data = Pattern(10000);
  auto s = std::make_unique<TNkBufferedStream>(&target, 4096);
  EXPECT_EQ(s->Write(data.data(), 10000), 10000);
  EXPECT_FALSE(s->Flush());  // 808 of the last 1808 bytes went out
  EXPECT_EQ(target.GetSize(), 9000);
  EXPECT_EQ(s->GetPosition(), 10000);  // the refused bytes are still waiting
  EXPECT_THROW(s->Seek(0, soFromBeginning), ENkSTreamError);
  target.Capacity = INT64_MAX;  // room again: the waiting bytes follow
  EXPECT_TRUE(s->Flush());
  EXPECT_EQ(target.Bytes(), data);
  s.reset();
}

TEST(NkBufferedStream, WriteStopsWhenTheTargetIsFull) {
  TProbeStream target;
  target.Capacity = 5000;
  std::string data = Pattern(10000);
  {
    TNkBufferedStream s(&target, 4096);
    EXPECT_EQ(s.Write(data.data(), 10000), 8192);  // the second buffer went out only in part
    // 3192 bytes wait; the buffer takes 904 more and then can go nowhere.
    EXPECT_EQ(s.Write(data.data() + 8192, 1808), 904);
    EXPECT_EQ(s.GetPosition(), 9096);
    EXPECT_THROW(s.WriteBuffer(data.data(), 1), EWriteError);
    EXPECT_FALSE(s.Flush());
  }  // the destructor swallows the failure
  EXPECT_EQ(target.Bytes(), data.substr(0, 5000));
  EXPECT_EQ(target.Writes, 6);
}

// Random reads, writes, seeks and size changes against the same operations on an unbuffered
// memory stream.
TEST(NkBufferedStream, BehavesLikeTheUnbufferedTarget) {
  std::mt19937 rng(4096);
  for (int round = 0; round < 300; ++round) {
    TMemoryStream model, target;
    std::string init = Pattern(rng() % 40);
    model.WriteBuffer(init);
    target.WriteBuffer(init);
    model.SetPosition(0);
    target.SetPosition(0);
    TNkBufferedStream s(&target, 1 + rng() % 17);
    for (int step = 0; step < 60; ++step) {
      SCOPED_TRACE(testing::Message() << "round " << round << " step " << step);
      char a[64], b[64];
      switch (rng() % 6) {
        case 0:
        case 1: {
          int32_t n = rng() % 40;
          int32_t got = s.Read(a, n);
          ASSERT_EQ(got, model.Read(b, n));
          ASSERT_EQ(std::string(a, got), std::string(b, got));
          break;
        }
        case 2:
        case 3: {
          std::string w = Pattern(rng() % 40 + 1);
          std::rotate(w.begin(), w.begin() + rng() % w.size(), w.end());
          ASSERT_EQ(s.Write(w.data(), int32_t(w.size())), model.Write(w.data(), int32_t(w.size())));
          break;
        }
        case 4: {
          uint16_t origin = rng() % 3;
          int64_t size = model.GetSize(), pos = model.GetPosition();
          int64_t to = rng() % (size + 10);
          int64_t offset = origin == soFromBeginning ? to
                           : origin == soFromCurrent ? to - pos
                                                     : to - size;
          ASSERT_EQ(s.Seek(offset, origin), model.Seek(offset, origin));
          break;
        }
        case 5: {
          if (rng() % 4) continue;
          int64_t size = rng() % 60;
          s.SetSize(size);
          model.SetSize(size);
          break;
        }
      }
      ASSERT_EQ(s.GetPosition(), model.GetPosition());
    }
    ASSERT_EQ(s.GetSize(), model.GetSize());
    ASSERT_TRUE(s.Flush());
    ASSERT_EQ(target.Bytes(), model.Bytes());
  }
}

}  // namespace
}  // namespace rid
