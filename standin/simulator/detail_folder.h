// What the detail folder holds, and what a detail step changed in it.
#pragma once

#include <map>
#include <string>
#include <vector>

typedef std::map<std::string, std::string> FolderContents; // file name -> bytes

struct FolderChanges {
    std::vector<std::string> removed;   // a superseded placeholder, deleted by the step
    std::vector<std::string> added;
    std::vector<std::string> rewritten; // the same name with new bytes
};

// The regular files directly in `folder` (a POSIX path ending in "/"); nothing when it is missing.
void ReadFolderContents(const std::string& folder, FolderContents* contents);
void CompareFolderContents(const FolderContents& before, const FolderContents& after, FolderChanges* changes);
