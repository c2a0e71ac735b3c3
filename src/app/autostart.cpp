#include "app/autostart.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace meterstation {

namespace {

const char* const kEntryName = "meterstation.desktop";

std::string reason() { return std::strerror(errno); }

// Creates every missing directory down to the path, private to the user as
// the base directory rules ask of the ones they name.
bool makeDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return false;
  if (!S_ISDIR(status.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  return true;
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written == 0) errno = ENOSPC;
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return ::fsync(fd) == 0;
}

// Written aside and renamed into place, so that a login never meets half
// an entry.
AutostartOutcome writeEntry(const std::string& directory, const std::string& path) {
  if (!makeDirectories(directory)) {
    return {false, "cannot make the autostart directory " + directory + ": " + reason()};
  }
  const std::string temporary =
      directory + "/." + kEntryName + ".tmp-" + std::to_string(::getpid());
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return {false, "cannot write " + path + ": " + reason()};
  std::string why;
  if (!writeAll(fd, autostartEntryText())) why = reason();
  if (::close(fd) != 0 && why.empty()) why = reason();
  if (why.empty() && ::rename(temporary.c_str(), path.c_str()) != 0) why = reason();
  if (!why.empty()) {
    ::unlink(temporary.c_str());
    return {false, "cannot write " + path + ": " + why};
  }
  return {true, "autostart on: " + path + " starts meterstation --resume whenever you log in"};
}

AutostartOutcome removeEntry(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return {true, "autostart off: removed " + path};
  if (errno == ENOENT) return {true, "autostart off: there was no " + path};
  return {false, "cannot remove " + path + ": " + reason()};
}

}  // namespace

std::string autostartEntryText() {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Version=1.4\n"
         "Name=meterstation\n"
         "GenericName=Meter reading station\n"
         "Comment=Take up the run of the meter reading station that was going\n"
         "Exec=meterstation --resume\n"
         "Icon=meterstation\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

std::string autostartDirectory(const char* configHome, const char* home) {
  if (configHome != nullptr && configHome[0] == '/') {
    return std::string(configHome) + "/autostart";
  }
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/autostart";
  return {};
}

std::string autostartDirectory() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    const passwd* account = ::getpwuid(::getuid());
    if (account != nullptr) home = account->pw_dir;
  }
  return autostartDirectory(std::getenv("XDG_CONFIG_HOME"), home);
}

AutostartOutcome setAutostart(bool on, const std::string& directory) {
  if (directory.empty()) {
    return {false, "there is no autostart directory: neither XDG_CONFIG_HOME nor HOME is set"};
  }
  const std::string path = directory + "/" + kEntryName;
  return on ? writeEntry(directory, path) : removeEntry(path);
}

}  // namespace meterstation
