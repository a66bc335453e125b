// Character tests and in-place text operations behind the file names and the detail text.
#pragma once

bool IsBlank(unsigned char c);
bool IsForbiddenNameChar(unsigned char c);
void TrimTrailingBlanks(char* text);
const char* SkipLeadingBlanks(const char* text);
void BlankForbiddenChars(char* text);
const char* MonthAbbrev(int month);
// Copies a text into a buffer of `size` bytes, cut to size - 1 characters when it does not fit.
void CopyText(char* destination, int size, const char* source);
