// The bits of productBit and actionFlags: which editions and which modules a run removes
// (no Win32 here).
#pragma once
#include <cstdint>

// Editions, in productBit, the applications' masks and the installed editions.
const uint32_t kBaseEdition = 1;
const uint32_t kMailEdition = 2;
const uint32_t kVantorixEdition = 4;
const uint32_t kEveryEditionBit = kBaseEdition | kMailEdition | kVantorixEdition;

// Module bits of actionFlags that also select an action of their own.
const uint32_t kMailClientBit = 0x08;   // the check that the e-mail client lets go of its library
const uint32_t kStartupLineBit = 0x10;  // the "QELCL" start-up line and its companion file
const uint32_t kChannelBit = 0x20;      // the desktop channel and item
const uint32_t kQuickLaunchBit = 0x40;  // the Quick Launch shortcut
const uint32_t kMaintenanceBit = 0x80;  // the Maintenance Wizard and the System Agent entry
