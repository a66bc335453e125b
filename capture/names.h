// Names of the detail and recording files, and the two time-stamp formats.
#pragma once

#include "capture/records.h"

const int STAMP_SIZE = 16; // 13 or 14 characters, one more for a three-character year

// Local time of a time value; a time that has no local time (before 1970 there) is shown in UTC.
void ConvertToLocalTime(TimeValue time, struct tm* local);

// Terminates, blanks forbidden characters in and trims the texts of captureState.snapshot.
void CleanSnapshotTexts(void);

// AltDetPath when set, else FileName; copied unchanged, no separator added.
void DetailDirectory(char detailDir[FOLDER_SIZE]);

// The snapshot's file name with the given suffix, in the scheme that AltFileNaming selects.
void BuildFileName(const char* suffix, char name[FOLDER_SIZE]);

// detailDir followed directly by detailName. A path that does not fit, or that the file functions
// would refuse, is not cut to a name of another file: the result is false and the path empty.
bool BuildDetailPath(const char* detailDir, const char* detailName, char detailPath[FOLDER_SIZE]);

void FormatStamp(TimeValue time, char stamp[STAMP_SIZE]);
