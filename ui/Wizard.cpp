// Placeholder until the wizard lands.
#include "ui/Wizard.h"
void RunWizard(HWND) {}
void CenterWindow(HWND) {}
