// On POSIX a shared object carries no resources: the setup dialog's template is registered with the
// platform while the module loads, and forgotten when it unloads, so that CreateDialogParamA finds it
// by the module's handle and the name "qrv_Setup" just as it finds the resource in the DLL.
#include "platform/posix/dialog_template.h"
#include "settings/setup_controls.h"

namespace {

#define SETUP_ITEM(id, cls, text, style, x, y, width, height) {id, #cls, text, style, x, y, width, height},
const DialogItemTemplate SETUP_ITEMS[] = {SETUP_CONTROL_TABLE(SETUP_ITEM)};
#undef SETUP_ITEM

const DialogTemplate SETUP_TEMPLATE = {
    SETUP_TEMPLATE_NAME, SETUP_DIALOG_STYLE,
    SETUP_DIALOG_X, SETUP_DIALOG_Y, SETUP_DIALOG_WIDTH, SETUP_DIALOG_HEIGHT,
    SETUP_DIALOG_CAPTION, SETUP_FONT_POINTS, SETUP_FONT_FACE,
    SETUP_ITEMS, (int)(sizeof SETUP_ITEMS / sizeof SETUP_ITEMS[0]),
};

struct TemplateRegistration {
    TemplateRegistration() { RegisterDialogTemplate(&SETUP_TEMPLATE); }
    ~TemplateRegistration() { UnregisterDialogTemplate(&SETUP_TEMPLATE); }
};

TemplateRegistration registration;

} // namespace
