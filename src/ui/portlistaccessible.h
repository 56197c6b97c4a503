#pragma once

// Registers with QAccessible how the port list (the window's `cmbCOM`) reads
// to a screen reader: by its name "串口", with the chosen port as its value.
// Qt's own combo box reading on Linux takes the current entry ("COM1") as
// the name, which leaves a reader nothing to say what the list is for.
// Safe to call any number of times.
void InstallPortListAccessibility();
