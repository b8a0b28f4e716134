// The diagnostic trace: when the environment variable KELVORA_TRACE names a
// file, the platform appends one line to it for each window shown or hidden,
// each message box, each modal result, each DDE command and each registry
// write. Texts are written in UTF-8. Off by default.
#pragma once

#include <string>

namespace trace {

bool Enabled();
// Appends one line (GB2312 text, converted to UTF-8).
void Line(const std::string& text);
// Before a message box shows: "msgbox [caption] text {buttons}" (line
// breaks in the text written as \n); after it: "answer N".
void MessageBox(const std::string& caption, const std::string& text, int flags);
void Answer(int answer);

}  // namespace trace
