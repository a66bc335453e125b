// The settings in Settings.ini: the plug-in's own section and two keys of the host's section.
#pragma once

// Fills every field of `settings` from pluginContext.settingsPath: the keys' defaults where the file,
// the section or a key is missing, and without a settings path.
void LoadSettings(void);
// Writes all the keys from `settings`, changed or not; without a settings path, nothing.
void SaveSettings(void);
