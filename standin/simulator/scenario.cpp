#include "standin/simulator/scenario.h"

#include <string.h>

namespace {

struct SettingKey {
    const char* key;
    const char* section;
};

// The plug-in's ten keys, in the order of Settings.ini, with the host section that holds each.
const SettingKey SETTING_KEYS[] = {
    {"FileName", "MyTheatre"},        {"RecFileNaming", "MyTheatre"},   {"Enable", "Quorvane"},
    {"Delay", "Quorvane"},            {"AltFileNaming", "Quorvane"},    {"AltDetPath", "Quorvane"},
    {"RecFileNameSuffix", "Quorvane"}, {"DetFileNameSuffix", "Quorvane"}, {"DVBDevice_Name", "Quorvane"},
    {"Comment", "Quorvane"},
};

} // namespace

std::string DescribeSource(const Scenario& scenario, SourceLine source)
{
    return scenario.files[source.file] + ":" + std::to_string(source.line) + ": ";
}

int FindChannelByName(const Scenario& scenario, const std::string& name)
{
    for (size_t i = 0; i < scenario.channels.size(); ++i)
        if (scenario.channels[i].name == name)
            return (int)i;
    return -1;
}

const char* SettingSection(const std::string& key)
{
    for (const SettingKey& setting : SETTING_KEYS)
        if (key == setting.key)
            return setting.section;
    return nullptr;
}

std::string ListSettingKeys(void)
{
    std::string list;
    for (const SettingKey& setting : SETTING_KEYS)
        list += std::string(list.empty() ? "" : ", ") + setting.key;
    return list;
}
