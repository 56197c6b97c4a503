#include "pseudoterminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

PseudoTerminal::~PseudoTerminal() {
  Close();
}

bool PseudoTerminal::Open(const std::string& linkPath) {
  Close();
  m_master = posix_openpt(O_RDWR | O_NOCTTY);
  if (m_master < 0) {
    return Fail("posix_openpt");
  }
  if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
    return Fail("grantpt/unlockpt");
  }
  const char* name = ptsname(m_master);
  if (!name) {
    return Fail("ptsname");
  }
  m_terminalPath = name;

  // Raw from the start, so bytes written before anyone opens the terminal
  // side are neither echoed back nor held for a line end.
  termios mode{};
  if (tcgetattr(m_master, &mode) != 0) {
    return Fail("tcgetattr");
  }
  cfmakeraw(&mode);
  cfsetispeed(&mode, B115200);
  cfsetospeed(&mode, B115200);
  if (tcsetattr(m_master, TCSANOW, &mode) != 0) {
    return Fail("tcsetattr");
  }
  const int flags = fcntl(m_master, F_GETFL);
  if (flags < 0 || fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0) {
    return Fail("fcntl");
  }

  // Replace the link in one step, so a reader never finds it missing or
  // pointing at a stale terminal once the new one exists.
  const std::string temporary = linkPath + ".new";
  ::unlink(temporary.c_str());
  if (::symlink(m_terminalPath.c_str(), temporary.c_str()) != 0) {
    return Fail("symlink");
  }
  if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return Fail("rename");
  }
  m_linkPath = linkPath;
  return true;
}

void PseudoTerminal::Close() {
  if (!m_linkPath.empty()) {
    ::unlink(m_linkPath.c_str());
    m_linkPath.clear();
  }
  if (m_master >= 0) {
    ::close(m_master);
    m_master = -1;
  }
  m_terminalPath.clear();
}

bool PseudoTerminal::Write(std::string_view bytes) {
  if (m_master < 0) {
    return false;
  }
  while (!bytes.empty()) {
    const ssize_t written = ::write(m_master, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

bool PseudoTerminal::Fail(const char* step) {
  m_error = std::string(step) + ": " + std::strerror(errno);
  Close();
  return false;
}
