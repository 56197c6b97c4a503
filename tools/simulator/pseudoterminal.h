#pragma once

#include <string>
#include <string_view>

// The controlling side of a pseudo-terminal in raw mode, whose terminal side
// is reachable through a symbolic link: a serial device without hardware.
// Closing it hangs the terminal side up, as pulling a USB adapter does.
// Writes never block: bytes that do not fit in the terminal's input queue
// (nobody reading) are dropped, as a line with no listener drops them.
class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Creates a new terminal and points `linkPath` at it (replacing what was
  // there). False, with Error() saying why, if either step fails.
  bool Open(const std::string& linkPath);
  // Closes the terminal and removes the link. Harmless when closed.
  void Close();
  bool IsOpen() const { return m_master >= 0; }

  // Bytes written in full; false if nothing or only part could be written.
  bool Write(std::string_view bytes);

  const std::string& TerminalPath() const { return m_terminalPath; }
  const std::string& Error() const { return m_error; }

 private:
  bool Fail(const char* step);

  int m_master = -1;
  std::string m_linkPath;
  std::string m_terminalPath;
  std::string m_error;
};
