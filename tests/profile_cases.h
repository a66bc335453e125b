// The profile (INI) cases: one table, run against the POSIX layer by the unit tests and against the
// real functions by the Windows build (tests/windows), so that both answer to the same rows.
//
// Each row: the file's bytes before the call (null: no file), one call, and what must come of it.
// A read of text gives the buffer's text (null: size 0, the buffer is not touched); the return is its
// length. A write gives its return and the whole file afterwards (null: there is no file).
#pragma once

enum ProfileOperation { READ_TEXT, READ_NUMBER, WRITE_TEXT };

enum ProfileCaseFlags {
    CASE_IN_MISSING_FOLDER = 1, // the file's folder does not exist
    CASE_WINE_DIFFERS = 2,      // Wine is known to answer otherwise than Windows: see the row's comment
};

struct ProfileCase {
    int number;
    const char* initial;
    ProfileOperation operation;
    const char* section;
    const char* key;
    const char* text;           // reads: the default (may be null); writes: the value
    int defaultValue;           // READ_NUMBER
    unsigned size;              // READ_TEXT: the size passed with the buffer
    unsigned expectedReturn;    // READ_NUMBER, WRITE_TEXT
    const char* expected;       // READ_TEXT: the buffer's text; WRITE_TEXT: the file afterwards
    unsigned flags;
};

// The largest size a row passes; the buffer has room to spare behind it, to see nothing is written there.
const unsigned PROFILE_CASE_MAX_SIZE = 1024;

constexpr ProfileCase ReadText(int number, const char* initial, const char* section, const char* key,
                               const char* defaultText, unsigned size, const char* expected,
                               unsigned flags = 0)
{
    return {number, initial, READ_TEXT, section, key, defaultText, 0, size, 0, expected, flags};
}

constexpr ProfileCase ReadNumber(int number, const char* initial, const char* section, const char* key,
                                 int defaultValue, unsigned expected, unsigned flags = 0)
{
    return {number, initial, READ_NUMBER, section, key, nullptr, defaultValue, 0, expected, nullptr, flags};
}

constexpr ProfileCase Write(int number, const char* initial, const char* section, const char* key,
                            const char* text, unsigned expectedReturn, const char* expectedFile,
                            unsigned flags = 0)
{
    return {number, initial, WRITE_TEXT, section, key, text, 0, 0, expectedReturn, expectedFile, flags};
}

#define END_CRLF "\r\n"
#define END_LF "\n"
#define END_CR "\r"

// The host's settings file as the plug-in finds it, with the line end E and the stored Delay.
#define SETTINGS_FILE(E, DELAY)                                                                   \
    "[MyTheatre]" E "FileName=D:\\Rec\\" E "RecFileNaming=%C_%D" E "[Quorvane]" E "Enable=1" E   \
    "Delay=" DELAY E "Comment=Living room" E

#define TEN_DIGITS "0123456789"
#define HUNDRED_DIGITS                                                                            \
    TEN_DIGITS TEN_DIGITS TEN_DIGITS TEN_DIGITS TEN_DIGITS TEN_DIGITS TEN_DIGITS TEN_DIGITS        \
        TEN_DIGITS TEN_DIGITS
#define DIGITS_510 HUNDRED_DIGITS HUNDRED_DIGITS HUNDRED_DIGITS HUNDRED_DIGITS HUNDRED_DIGITS TEN_DIGITS
#define DIGITS_599                                                                                \
    HUNDRED_DIGITS HUNDRED_DIGITS HUNDRED_DIGITS HUNDRED_DIGITS HUNDRED_DIGITS TEN_DIGITS TEN_DIGITS \
        TEN_DIGITS TEN_DIGITS TEN_DIGITS TEN_DIGITS TEN_DIGITS TEN_DIGITS TEN_DIGITS "012345678"
#define DIGITS_600 HUNDRED_DIGITS HUNDRED_DIGITS HUNDRED_DIGITS HUNDRED_DIGITS HUNDRED_DIGITS HUNDRED_DIGITS

inline const ProfileCase PROFILE_CASES[] = {
    // Missing file, section or key: the default, without its trailing spaces.
    ReadText(1, nullptr, "MyTheatre", "FileName", ".\\", 511, ".\\"),
    ReadText(2, SETTINGS_FILE(END_CRLF, "180"), "Absent", "FileName", ".\\", 511, ".\\"),
    ReadText(3, SETTINGS_FILE(END_CRLF, "180"), "MyTheatre", "Absent", ".mpg", 63, ".mpg"),
    ReadText(4, SETTINGS_FILE(END_CRLF, "180"), "MyTheatre", "Absent", nullptr, 63, ""),
    ReadText(5, nullptr, "S", "k", "default  ", 63, "default"),
    ReadText(6, nullptr, "S", "k", "  one two\t  ", 63, "  one two\t"),
    ReadText(7, nullptr, "S", "k", "abcdef", 4, "abc"),
    ReadText(8, nullptr, "S", "k", "abc", 4, "abc"),
    ReadText(9, nullptr, "S", "k", "abc", 0, nullptr),

    // The same file with each line end.
    ReadText(10, SETTINGS_FILE(END_CRLF, "180"), "MyTheatre", "FileName", ".\\", 511, "D:\\Rec\\"),
    ReadText(11, SETTINGS_FILE(END_LF, "180"), "MyTheatre", "FileName", ".\\", 511, "D:\\Rec\\"),
    ReadText(12, SETTINGS_FILE(END_CR, "180"), "MyTheatre", "FileName", ".\\", 511, "D:\\Rec\\"),
    ReadText(13, SETTINGS_FILE(END_CRLF, "180"), "Quorvane", "Comment", "", 255, "Living room"),
    ReadText(14, SETTINGS_FILE(END_LF, "180"), "Quorvane", "Comment", "", 255, "Living room"),
    ReadText(15, SETTINGS_FILE(END_CR, "180"), "Quorvane", "Comment", "", 255, "Living room"),
    ReadText(16, "[S]\nA=1\r\nB=2\rC=3\n\rD=4", "S", "C", "", 63, "3"),
    ReadText(17, "[S]\nA=1\r\nB=2\rC=3\n\rD=4", "S", "D", "", 63, "4"),

    // Sizes: exact fit, one short, one, none.
    ReadText(18, SETTINGS_FILE(END_CRLF, "180"), "Quorvane", "Comment", "", 12, "Living room"),
    ReadText(19, SETTINGS_FILE(END_CRLF, "180"), "Quorvane", "Comment", "", 11, "Living roo"),
    ReadText(20, SETTINGS_FILE(END_CR, "180"), "Quorvane", "Comment", "", 11, "Living roo"),
    ReadText(21, SETTINGS_FILE(END_CRLF, "180"), "Quorvane", "Comment", "", 1, ""),
    ReadText(22, SETTINGS_FILE(END_CRLF, "180"), "Quorvane", "Comment", "", 0, nullptr),
    ReadText(23, "[MyTheatre]\r\nFileName=" DIGITS_600 "\r\n", "MyTheatre", "FileName", ".\\", 511,
             DIGITS_510),
    ReadText(24, "[MyTheatre]\r\nFileName=" DIGITS_600 "\r\n", "MyTheatre", "FileName", ".\\", 601,
             DIGITS_600),
    ReadText(25, "[MyTheatre]\r\nFileName=" DIGITS_600 "\r\n", "MyTheatre", "FileName", ".\\", 600,
             DIGITS_599),

    // Values: blanks around them go, one matching pair of outer quotes goes, the rest stays.
    ReadText(26, "[S]\r\nk = \t value with  inner\tblanks \t \r\n", "S", "k", "", 63, "value with  inner\tblanks"),
    ReadText(27, "[S]\r\nk=\"quoted\"\r\n", "S", "k", "", 63, "quoted"),
    ReadText(28, "[S]\r\nk='quoted'\r\n", "S", "k", "", 63, "quoted"),
    ReadText(29, "[S]\r\nk=  \" in side \"  \r\n", "S", "k", "", 63, " in side "),
    ReadText(30, "[S]\r\nk=\"open\r\n", "S", "k", "", 63, "\"open"),
    ReadText(31, "[S]\r\nk=\"mixed'\r\n", "S", "k", "", 63, "\"mixed'"),
    ReadText(32, "[S]\r\nk=\"\r\n", "S", "k", "dflt", 63, "\""),
    ReadText(33, "[S]\r\nk=\"\"double\"\"\r\n", "S", "k", "", 63, "\"double\""),
    ReadText(34, "[S]\r\nk=\"\"\r\n", "S", "k", "dflt", 63, ""),
    ReadText(35, "[S]\r\nk=a \"b\" c\r\n", "S", "k", "", 63, "a \"b\" c"),
    // Exact fit for the text inside the quotes. Wine cuts the closing quote off to fit and then drops
    // the last character as if it were the quote, giving "quote".
    ReadText(36, "[S]\r\nk=\"quoted\"\r\n", "S", "k", "", 7, "quoted", CASE_WINE_DIFFERS),
    ReadText(37, "[S]\r\nk=\"quoted\"\r\n", "S", "k", "", 6, "quote"),

    // Names: no regard to case, blanks around them ignored; the value keeps its case.
    ReadText(38, SETTINGS_FILE(END_CRLF, "180"), "QUORVANE", "comment", "", 255, "Living room"),
    ReadText(39, "  [Quorvane]\r\n Delay=180\r\n", "Quorvane", "Delay", "", 63, "180"),
    ReadText(40, "[  Quorvane\t]\r\nDelay=180\r\n", "Quorvane", "Delay", "", 63, "180"),
    ReadText(41, "[Quorvane]\r\n\t Delay \t= 180\r\n", "Quorvane", "Delay", "", 63, "180"),

    // Duplicates: the first key wins; only the first section of a name is searched.
    ReadText(42, "[S]\r\nk=first\r\nk=second\r\n", "S", "k", "", 63, "first"),
    ReadText(43, "[S]\r\na=1\r\n[T]\r\nb=2\r\n[S]\r\nc=3\r\n", "S", "c", "dflt", 63, "dflt"),
    ReadText(44, "[S]\r\na=1\r\n[T]\r\nb=2\r\n[S]\r\nc=3\r\n", "S", "a", "dflt", 63, "1"),

    // Comments, "#", section lines, lines before the first section, lines that are not keys.
    ReadText(45, "[S]\r\n;k=commented\r\n", "S", "k", "dflt", 63, "dflt"),
    ReadText(46, "[S]\r\n  ;k=commented\r\nk=v\r\n", "S", "k", "dflt", 63, "v"),
    ReadText(47, "[S]\r\nk=v ;not a comment\r\n", "S", "k", "", 63, "v ;not a comment"),
    ReadText(48, "[S]\r\n#k=hash\r\n", "S", "#k", "dflt", 63, "hash"),
    ReadText(49, "[S]\r\n# note\r\nk=v # not a comment either\r\n", "S", "k", "", 63, "v # not a comment either"),
    ReadText(50, "[S] text after the bracket\r\nk=v\r\n", "S", "k", "dflt", 63, "v"),
    ReadText(51, "k=outside\r\n[S]\r\nj=1\r\n", "S", "k", "dflt", 63, "dflt"),
    ReadText(52, "[S]\r\nk\r\n", "S", "k", "dflt", 63, "dflt"),
    ReadText(53, "[S]\r\nk=\r\n", "S", "k", "dflt", 63, ""),
    ReadText(54, "[S]\r\nk= \t \r\n", "S", "k", "dflt", 63, ""),
    ReadText(55, "[S]\r\nk=a=b\r\n", "S", "k", "", 63, "a=b"),
    ReadText(56, "[S]\r\n\r\n   \r\nk=v\r\n", "S", "k", "", 63, "v"),
    ReadText(57, "[S]\r\nk=last", "S", "k", "", 63, "last"),
    ReadText(58, "[S]\r\n[T]\r\nk=1\r\n", "S", "k", "dflt", 63, "dflt"),
    ReadText(59, "[S]\r\n[T]\r\nk=1\r\n", "T", "k", "dflt", 63, "1"),

    // Integers: a sign and decimal digits up to the first other character, wrapping at 32 bits.
    ReadNumber(60, nullptr, "Quorvane", "Delay", 180, 180),
    ReadNumber(61, SETTINGS_FILE(END_CRLF, "180"), "Quorvane", "Absent", -5, 0xFFFFFFFBu),
    ReadNumber(62, SETTINGS_FILE(END_CRLF, "70000"), "Quorvane", "Delay", 180, 70000),
    ReadNumber(63, SETTINGS_FILE(END_LF, "70000"), "Quorvane", "Delay", 180, 70000),
    ReadNumber(64, SETTINGS_FILE(END_CR, "70000"), "Quorvane", "Delay", 180, 70000),
    ReadNumber(65, "[S]\r\nk=-1\r\n", "S", "k", 7, 0xFFFFFFFFu),
    ReadNumber(66, "[S]\r\nk=+1\r\n", "S", "k", 7, 1),
    ReadNumber(67, "[S]\r\nk=4294967296\r\n", "S", "k", 7, 0),
    ReadNumber(68, "[S]\r\nk=4294967297\r\n", "S", "k", 7, 1),
    ReadNumber(69, "[S]\r\nk=-4294967297\r\n", "S", "k", 7, 0xFFFFFFFFu),
    ReadNumber(70, "[S]\r\nk=42A9\r\n", "S", "k", 7, 42),
    ReadNumber(71, "[S]\r\nk=B42\r\n", "S", "k", 7, 0),
    ReadNumber(72, "[S]\r\nk=007\r\n", "S", "k", 7, 7),
    ReadNumber(73, "[S]\r\nk=-\r\n", "S", "k", 7, 0),
    ReadNumber(74, "[S]\r\nk=12 34\r\n", "S", "k", 7, 12),
    ReadNumber(75, "[S]\r\nk=  12  \r\n", "S", "k", 7, 12),
    ReadNumber(76, "[S]\r\nk=\"34\"\r\n", "S", "k", 7, 34),
    ReadNumber(77, "[S]\r\nk=65536\r\n", "S", "k", 7, 65536),
    // An empty value counts as missing.
    ReadNumber(78, "[S]\r\nk=\r\n", "S", "k", 7, 7),
    ReadNumber(79, "[S]\r\nk= \t \r\n", "S", "k", 7, 7),
    ReadNumber(80, "[S]\r\nK=3\r\n", "s", "k", 7, 3),
    // Not hexadecimal: the digits end at the "x". Wine reads "0x" numbers in base 16 (its conversion
    // guesses the base from the prefix).
    ReadNumber(81, "[S]\r\nk=0x10\r\n", "S", "k", 7, 0, CASE_WINE_DIFFERS),

    // Writing: a new file, a new section, a new key, a key rewritten where it stands.
    Write(90, nullptr, "Quorvane", "Enable", "1", 1, "[Quorvane]\r\nEnable=1\r\n"),
    Write(91, nullptr, "Quorvane", "Enable", "1", 0, nullptr, CASE_IN_MISSING_FOLDER),
    Write(92, "", "S", "k", "v", 1, "[S]\r\nk=v\r\n"),
    Write(93, SETTINGS_FILE(END_CRLF, "180"), "Quorvane", "Delay", "200", 1, SETTINGS_FILE(END_CRLF, "200")),
    // Wine writes the whole file anew from what it read, every line ending in CR LF.
    Write(94, SETTINGS_FILE(END_LF, "180"), "Quorvane", "Delay", "200", 1, SETTINGS_FILE(END_LF, "200"),
          CASE_WINE_DIFFERS),
    Write(95, SETTINGS_FILE(END_CR, "180"), "Quorvane", "Delay", "200", 1, SETTINGS_FILE(END_CR, "200"),
          CASE_WINE_DIFFERS),
    Write(96, SETTINGS_FILE(END_LF, "180"), "Quorvane", "Delay", "180", 1, SETTINGS_FILE(END_LF, "180")),
    Write(97, SETTINGS_FILE(END_CRLF, "180"), "MyTheatre", "RecFileNaming", "", 1,
          "[MyTheatre]\r\nFileName=D:\\Rec\\\r\nRecFileNaming=\r\n[Quorvane]\r\nEnable=1\r\nDelay=180\r\n"
          "Comment=Living room\r\n"),
    Write(98, SETTINGS_FILE(END_CRLF, "180"), "MyTheatre", "NewKey", "x", 1,
          "[MyTheatre]\r\nFileName=D:\\Rec\\\r\nRecFileNaming=%C_%D\r\nNewKey=x\r\n[Quorvane]\r\nEnable=1\r\n"
          "Delay=180\r\nComment=Living room\r\n"),
    Write(99, SETTINGS_FILE(END_CRLF, "180"), "Quorvane", "AltDetPath", "E:\\Details\\", 1,
          SETTINGS_FILE(END_CRLF, "180") "AltDetPath=E:\\Details\\\r\n"),
    Write(100, "[S]\r\na=1\r\n", "T", "b", "2", 1, "[S]\r\na=1\r\n[T]\r\nb=2\r\n"),
    Write(101, "[S]\r\na=1", "T", "b", "2", 1, "[S]\r\na=1\r\n[T]\r\nb=2\r\n"),
    Write(102, "[S]\r\na=1", "S", "b", "2", 1, "[S]\r\na=1\r\nb=2\r\n"),
    Write(103, "[S]\r\n[T]\r\nb=2\r\n", "S", "a", "1", 1, "[S]\r\na=1\r\n[T]\r\nb=2\r\n"),
    Write(104, "[S]", "S", "a", "1", 1, "[S]\r\na=1\r\n"),
    Write(105, "[Quorvane2]\r\nk=1\r\n", "Quorvane", "k", "2", 1, "[Quorvane2]\r\nk=1\r\n[Quorvane]\r\nk=2\r\n"),
    // The new key goes right after the last key, ahead of the comment and the blank line. Wine keeps a
    // comment line as an entry of the section, appends behind it, and drops the blank line.
    Write(106, "[S]\r\na=1\r\n; note\r\n\r\n[T]\r\nb=2\r\n", "S", "c", "3", 1,
          "[S]\r\na=1\r\nc=3\r\n; note\r\n\r\n[T]\r\nb=2\r\n", CASE_WINE_DIFFERS),
    // A rewritten line loses the blanks around its name and value; its neighbours stay as they were.
    Write(107, "[S]\r\n  a =  old  \r\nb=2\r\n", "S", "a", "new", 1, "[S]\r\na=new\r\nb=2\r\n"),
    // Names match without regard to case; the line keeps the name as the file spells it.
    Write(108, "[S]\r\nDelay=1\r\n", "s", "DELAY", "2", 1, "[S]\r\nDelay=2\r\n"),
    // The value goes in as given. Wine drops the blanks at its start.
    Write(109, "[S]\r\nk=1\r\n", "S", "k", "  spaced \"q\"  ", 1, "[S]\r\nk=  spaced \"q\"  \r\n",
          CASE_WINE_DIFFERS),
    // Names are trimmed before use. Wine trims only their start when it creates them ("[S  ]", "k  =v").
    Write(110, nullptr, "  S  ", "  k  ", "v", 1, "[S]\r\nk=v\r\n", CASE_WINE_DIFFERS),
    Write(111, "[S]\r\na=1\r\n[T]\r\n[S]\r\nb=2\r\n", "S", "c", "3", 1,
          "[S]\r\na=1\r\nc=3\r\n[T]\r\n[S]\r\nb=2\r\n"),
    Write(112, "[S]\r\nk=first\r\nk=second\r\n", "S", "k", "new", 1, "[S]\r\nk=new\r\nk=second\r\n"),
    Write(113, "[S]\r\n;a=1\r\nb=2\r\n", "S", "a", "3", 1, "[S]\r\n;a=1\r\nb=2\r\na=3\r\n"),
    Write(114, "[S]\r\na=1\r\n", "S", "k", DIGITS_600, 1, "[S]\r\na=1\r\nk=" DIGITS_600 "\r\n"),
    // Every other byte stays: text before the first section, comments, "#" lines, blank lines, blanks
    // around other names. Wine writes the file anew from what it read: blank lines go, and every
    // key line comes out as name=value.
    Write(115,
          "head line\r\n[MyTheatre]\r\nFileName = D:\\Rec\\\r\n\r\n; the host's\r\n[Quorvane]\r\n"
          "# kept\r\nEnable=1\r\n  Delay\t= 180 \r\n\r\n\r\nComment=\"Living room\"\r\n",
          "Quorvane", "Delay", "90", 1,
          "head line\r\n[MyTheatre]\r\nFileName = D:\\Rec\\\r\n\r\n; the host's\r\n[Quorvane]\r\n"
          "# kept\r\nEnable=1\r\nDelay=90\r\n\r\n\r\nComment=\"Living room\"\r\n",
          CASE_WINE_DIFFERS),
    // A key added to an LF file: the new line ends in CR LF, the others keep theirs. Wine ends every
    // line of the file it writes in CR LF.
    Write(116, "[S]\na=1\n[T]\n", "S", "b", "2", 1, "[S]\na=1\nb=2\r\n[T]\n", CASE_WINE_DIFFERS),
};

#undef END_CRLF
#undef END_LF
#undef END_CR
#undef SETTINGS_FILE
#undef TEN_DIGITS
#undef HUNDRED_DIGITS
#undef DIGITS_510
#undef DIGITS_599
#undef DIGITS_600
