#include "capture/text.h"

#include <string.h>

// Space, tab, carriage return and line feed: exactly these four.
bool IsBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Control bytes and the nine characters that Windows file names refuse; 0x7F and 0x80-0xFF are allowed.
bool IsForbiddenNameChar(unsigned char c)
{
    return c < 0x20 || (c != 0 && strchr("\"*/:<>?\\|", c) != nullptr);
}

void TrimTrailingBlanks(char* text)
{
    size_t length = strlen(text);
    while (length > 0 && IsBlank((unsigned char)text[length - 1]))
        text[--length] = '\0';
}

const char* SkipLeadingBlanks(const char* text)
{
    while (*text != '\0' && IsBlank((unsigned char)*text))
        ++text;
    return text;
}

void BlankForbiddenChars(char* text)
{
    size_t length = strlen(text);
    for (size_t i = 0; i < length; ++i) {
        if (IsForbiddenNameChar((unsigned char)text[i]))
            text[i] = ' ';
    }
}

const char* MonthAbbrev(int month)
{
    static const char* const names[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    unsigned index = (unsigned)month; // a negative month is a large unsigned one
    return index < 12 ? names[index] : "---";
}

void CopyText(char* destination, int size, const char* source)
{
    size_t length = strnlen(source, (size_t)size - 1);
    memcpy(destination, source, length);
    destination[length] = '\0';
}
