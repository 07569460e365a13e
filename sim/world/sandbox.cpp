#include "sim/world/sandbox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
struct StandIn {
  const char *path;  // under the root
  const char *body;  // shell script body; @ROOT@ is replaced by the sandbox root
};

// The outside programs the unit runs through the shell.
const StandIn STAND_INS[] = {
    {"/bin/mount", "exit 0\n"},
    // The timer runs it on every pass: shell builtins only, no process of its own.
    {"/bin/my_temp",
     "t=47.2\n[ -r '@ROOT@/var/sim/cpu_temp' ] && read -r t < '@ROOT@/var/sim/cpu_temp'\n"
     "echo \"$t\"\necho \"temp=$t'C\"\n"},
    {"/bin/my_vorn",
     "cat '@ROOT@/var/sim/web_version' 2>/dev/null || echo 00.063\n"
     "cat '@ROOT@/var/sim/lan_state' 2>/dev/null || echo 'No Conn'\n"},
    {"/bin/lsusb", "cat '@ROOT@/var/sim/lsusb' 2>/dev/null\nexit 0\n"},
    {"/bin/fbgrab", "echo \"$*\" >> '@ROOT@/var/sim/fbgrab'\nexit 0\n"},
    {"/opt/sshshell", "echo sshshell >> '@ROOT@/var/sim/sshshell'\nexit 0\n"},
    {"/bin/reboot", "echo reboot >> '@ROOT@/var/sim/reboots'\nexit 0\n"},
    {"/bin/stty", "echo \"$*\" >> '@ROOT@/var/sim/stty'\nexit 0\n"},
    {"/bin/tput", "exit 0\n"},
    {"/bin/ifconfig", "exit 0\n"},
    // The network restart: each call recorded in order.
    {"/bin/ifdown", "echo \"ifdown $*\" >> '@ROOT@/var/sim/network'\nexit 0\n"},
    {"/bin/ifup", "echo \"ifup $*\" >> '@ROOT@/var/sim/network'\nexit 0\n"},
    {"/bin/sudo", "echo \"$*\" >> '@ROOT@/var/sim/sudo'\nexec \"$@\"\n"},
    {"/opt/Kestra/getpack.sh", "echo getpack >> '@ROOT@/var/sim/getpack'\nexit 0\n"},
};

struct Link {
  const char *inside;  // path under the root
  const char *target;  // file of the host
};

// Fonts: the DejaVu faces as on the target, PT Sans for the two PT faces.
const Link LINKS[] = {
    {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/truetype/dejavu"},
    {"/opt/fonts/PTS55F_W.ttf", "/usr/share/fonts/truetype/paratype/PTS55F.ttf"},
    {"/opt/fonts/PTS75F_W.ttf", "/usr/share/fonts/truetype/paratype/PTS75F.ttf"},
    {"/dev/urandom", "/dev/urandom"},  // the remote client's handshake key
};

const char *DIRS[] = {
    "/opt/set", "/opt/fonts", "/opt/Kestra", "/dev/input/by-id",          "/etc/network",
    "/bin",     "/var/log",   "/var/sim",    "/usr/share/fonts/truetype", "/tmp"};

std::string Replace(std::string text, const std::string &from, const std::string &to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The background pictures drawn by the build (tools/pictures), where the
// product keeps them.
bool LinkPictures(const std::string &root, std::string &error) {
  std::error_code ec;
  // Without them the unit logs each missing picture and goes on, as on a target.
  if (!fs::is_directory(KESTRA_PICTURES_DIR, ec)) return true;
  for (const auto &entry : fs::directory_iterator(KESTRA_PICTURES_DIR, ec)) {
    if (entry.path().extension() != ".png") continue;
    std::string inside = root + "/opt/Kestra/" + entry.path().filename().string();
    if (fs::exists(fs::symlink_status(inside))) continue;
    fs::create_symlink(entry.path(), inside, ec);
    if (ec) break;
  }
  if (ec)
    error = std::string("cannot link the pictures of ") + KESTRA_PICTURES_DIR + ": " + ec.message();
  return !ec;
}

bool WriteStandIn(const std::string &root, const StandIn &s) {
  std::string path = root + s.path;
  std::ofstream out(path, std::ios::trunc);
  out << "#!/bin/sh\n# stand-in of the target's " << s.path << "\n"
      << Replace(s.body, "@ROOT@", root);
  out.close();
  return out && chmod(path.c_str(), 0755) == 0;
}
}  // namespace

bool CreateSandbox(const std::string &root, std::string &error) {
  std::error_code ec;
  for (const char *dir : DIRS) {
    fs::create_directories(root + dir, ec);
    if (ec) {
      error = "cannot create " + root + dir + ": " + ec.message();
      return false;
    }
  }
  for (const Link &link : LINKS) {
    std::string inside = root + link.inside;
    if (fs::exists(fs::symlink_status(inside))) continue;
    fs::create_symlink(link.target, inside, ec);
    if (ec) {
      error = "cannot link " + inside + ": " + ec.message();
      return false;
    }
  }
  if (!LinkPictures(root, error)) return false;
  for (const StandIn &s : STAND_INS) {
    if (!WriteStandIn(root, s)) {
      error = std::string("cannot write the stand-in ") + s.path;
      return false;
    }
  }
  const char *path = getenv("PATH");
  std::string newPath = root + "/bin:" + (path ? path : "/usr/bin:/bin");
  setenv("PATH", newPath.c_str(), 1);
  return true;
}

bool SeedFile(const std::string &root, const std::string &relative, const std::string &content) {
  fs::path path = fs::path(root) / relative;
  if (fs::exists(path)) return true;
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary);
  out << content;
  return static_cast<bool>(out);
}

std::string SandboxStateFile(const std::string &root, const std::string &name) {
  return root + "/var/sim/" + name;
}
