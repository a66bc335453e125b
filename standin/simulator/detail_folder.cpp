#include "standin/simulator/detail_folder.h"

#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

void ReadFolderContents(const std::string& folder, FolderContents* contents)
{
    contents->clear();
    DIR* directory = opendir(folder.c_str());
    if (directory == nullptr)
        return;
    while (const dirent* entry = readdir(directory)) {
        std::string path = folder + entry->d_name;
        struct stat info;
        if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        (*contents)[entry->d_name] = bytes.str();
    }
    closedir(directory);
}

void CompareFolderContents(const FolderContents& before, const FolderContents& after, FolderChanges* changes)
{
    *changes = FolderChanges();
    for (const auto& [name, bytes] : before)
        if (after.count(name) == 0)
            changes->removed.push_back(name);
    for (const auto& [name, bytes] : after) {
        auto earlier = before.find(name);
        if (earlier == before.end())
            changes->added.push_back(name);
        else if (earlier->second != bytes)
            changes->rewritten.push_back(name);
    }
}
