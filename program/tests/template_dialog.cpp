#include "tests/template_dialog.h"

#include "app/program_handles.h"

// The dialog template with this numeric id, or NULL when the module has
// none.
static LPCDLGTEMPLATE LoadDialogTemplate(int templateId) {
    HRSRC resource = FindResourceW(g_hInstance, MAKEINTRESOURCE(templateId), RT_DIALOG);
    if (resource == NULL) return NULL;
    HGLOBAL loaded = LoadResource(g_hInstance, resource);
    if (loaded == NULL) return NULL;
    return (LPCDLGTEMPLATE)LockResource(loaded);
}

INT_PTR RunTemplateDialog(int templateId, DLGPROC dialogProc) {
    LPCDLGTEMPLATE dialogTemplate = LoadDialogTemplate(templateId);
    // A missing template ends as a dialog that could not be made.
    if (dialogTemplate == NULL) return -1;
    return DialogBoxIndirectParamW(g_hInstance, dialogTemplate, g_hMainWindow, dialogProc, 0);
}

HWND CreateTemplateDialog(int templateId, DLGPROC dialogProc) {
    LPCDLGTEMPLATE dialogTemplate = LoadDialogTemplate(templateId);
    if (dialogTemplate == NULL) return NULL;
    return CreateDialogIndirectParamW(g_hInstance, dialogTemplate, g_hMainWindow, dialogProc, 0);
}
