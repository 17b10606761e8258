#pragma once
#include <string>
#include <string_view>

#include "platform/Imm.h"

namespace rid {

// The reconversion record for Text (code page 932): eight little-endian 32-bit fields (size 32,
// version 0, string length = text length + 1, string offset 32, composition length = text
// length, composition offset 0, target length = text length, target offset 0), the text and a
// zero byte, padded with one more zero: text length + 34 bytes.
std::string MakeReconvertRecord(std::string_view Text);

// Hands Text to the window's input method for reconversion. The record goes to the input
// context of the window's input-method window; what the input method makes of it is its own
// affair, and an input method that cannot reconvert leaves everything as it was. Without a
// window or a context nothing happens.
void ImeReconvert(HWND Window, std::string_view Text);

}  // namespace rid
