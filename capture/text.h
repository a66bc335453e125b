// Character tests and in-place text operations behind the file names and the detail text.
#pragma once

bool IsBlank(unsigned char c);
bool IsForbiddenNameChar(unsigned char c);
void TrimTrailingBlanks(char* text);
const char* SkipLeadingBlanks(const char* text);
void BlankForbiddenChars(char* text);
const char* MonthAbbrev(int month);
