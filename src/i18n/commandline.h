#pragma once

// Whether the command line asks for the help or the version text and
// nothing else can happen: -h, -?, --help, --help-all, -v or --version
// among the arguments (before a "--"). Such a run prints its text and ends,
// so it needs no display: a program checks this before it creates its
// QApplication, which aborts without one.
bool AsksForHelpOrVersion(int argc, const char* const argv[]);
