// Dialog templates as resources of a module. On Windows the resource compiler puts a template into the
// DLL and CreateDialogParamA finds it there by module and name; a POSIX shared object has no
// resources, so a module's own code registers its templates while it loads, and the platform takes
// the module to be the one whose memory holds the registered template.
#pragma once

#include "platform/win32.h"

// One control, as a DIALOG statement's CONTROL line gives it.
struct DialogItemTemplate {
    int id;
    const char* className;        // "Button", "Edit", "Static"
    const char* text;
    DWORD style;                  // the whole style, WS_CHILD and WS_VISIBLE included
    short x, y, width, height;    // dialog units
};

struct DialogTemplate {
    const char* name;             // matched without regard to case, as resource names are
    DWORD style;
    short x, y, width, height;    // dialog units
    const char* caption;
    WORD fontPoints;
    const char* fontFace;
    const DialogItemTemplate* items; // in tab order
    int itemCount;
};

// The template must stay in place, in the registering module's memory, until it is unregistered.
// False when the platform's table of templates is full.
bool RegisterDialogTemplate(const DialogTemplate* dialogTemplate);
void UnregisterDialogTemplate(const DialogTemplate* dialogTemplate);
