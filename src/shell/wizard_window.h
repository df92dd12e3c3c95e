// The wizard: one custom-painted window of 400 x 310 with two painted buttons
// and three edit boxes, led page by page over wizardPage.
#pragma once

#include "platform/win32.h"

ATOM RegisterWizardClass(HINSTANCE instance);

// Creates the window and its edit boxes and shows it (the welcome page paints);
// 0 when the window cannot be created.
int CreateWizardWindow(HINSTANCE instance, int showCommand);

LRESULT CALLBACK WizardWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The page advance from the welcome and the address pages.
void AdvanceAddressPage();

// Ends the wizard: the window posts itself the destroy message.
void EndWizard();
