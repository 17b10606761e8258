#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/libStr.h"
#include "output/RidEderPrint.h"

// Any bytes: the rows of a line keep every byte, fit the width unless one double-byte character
// is wider, and start at characters; header, footer and Margin texts that read back once read
// back the same again.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const int32_t maxCol = 1 + Data[0] % 120;
  const std::string line(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  int32_t start = 0;
  size_t next = 0;  // the character start at or after start
  for (int32_t b : rid::WrapLine(line, maxCol)) {
    if (b <= start || b >= static_cast<int32_t>(line.size())) abort();
    if (b - start > maxCol && !(b - start == 2 && rid::CharLenAt(line, size_t(start)) == 2))
      abort();
    while (next < size_t(b)) next += rid::CharLenAt(line, next);
    if (next != size_t(b)) abort();  // inside a character
    start = b;
  }
  if (static_cast<int32_t>(line.size()) - start > maxCol &&
      !(line.size() - size_t(start) == 2 && rid::CharLenAt(line, size_t(start)) == 2))
    abort();

  rid::THeader header;
  header.SetAsString(line);
  const std::string once = header.GetAsString();
  header.SetAsString(once);
  if (header.GetAsString() != once) abort();

  rid::TRidEderPrint job(nullptr);
  try {
    job.SetMargin(line);
  } catch (const rid::Exception&) {
    return 0;
  }
  const std::string margin = job.GetMargin();
  job.SetMargin(margin);
  if (job.GetMargin() != margin) abort();
  return 0;
}
