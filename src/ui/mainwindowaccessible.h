#pragma once

// Registers with QAccessible that the program's window is a window (a frame
// to screen readers, which announce it by its title), not a plain pane;
// safe to call any number of times.
void InstallMainWindowAccessibility();
