// The terminal through POSIX: isatty, TIOCGWINSZ, and /dev/tty with ECHO
// cleared for secrets.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "app/tzip/terminal.h"

namespace tessaly::app {

namespace {

// The terminal whose echo is off, and its settings before; for the signal
// handler, which puts them back before the signal takes its course.
int g_echo_off_fd = -1;
struct termios g_saved_settings;

void RestoreAndReraise(int signal_number) {
  if (g_echo_off_fd >= 0) {
    tcsetattr(g_echo_off_fd, TCSAFLUSH, &g_saved_settings);
    const char newline = '\n';
    (void)!write(g_echo_off_fd, &newline, 1);
  }
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

void WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

int StderrColumns() {
  struct winsize size {};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
    return size.ws_col;
  }
  return 80;
}

std::optional<std::string> ReadSecretFromTerminal(const std::string& prompt) {
  const int fd = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct termios settings {};
  if (tcgetattr(fd, &settings) != 0) {
    close(fd);
    return std::nullopt;
  }
  g_saved_settings = settings;
  g_echo_off_fd = fd;
  const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  struct sigaction restore {};
  restore.sa_handler = RestoreAndReraise;
  sigemptyset(&restore.sa_mask);
  struct sigaction previous[4];
  for (int i = 0; i < 4; ++i) sigaction(signals[i], &restore, &previous[i]);

  struct termios quiet = settings;
  quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
  quiet.c_lflag |= ECHONL;
  tcsetattr(fd, TCSAFLUSH, &quiet);
  WriteAll(fd, prompt);

  std::string line;
  bool complete = false;
  char c;
  while (read(fd, &c, 1) == 1) {
    if (c == '\n') {
      complete = true;
      break;
    }
    line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();

  tcsetattr(fd, TCSAFLUSH, &settings);
  g_echo_off_fd = -1;
  for (int i = 0; i < 4; ++i) sigaction(signals[i], &previous[i], nullptr);
  if (!complete) WriteAll(fd, "\n");
  close(fd);
  if (!complete) return std::nullopt;
  return line;
}

}  // namespace tessaly::app
