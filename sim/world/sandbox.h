#pragma once
// The sandbox: a small root file system for the unit under simulation.
#include <string>

// Creates the tree under `root` (files already there are kept), links the
// fonts, writes stand-ins for the outside programs into <root>/bin and puts
// that first on PATH. False with a reason on failure.
bool CreateSandbox(const std::string &root, std::string &error);

// Writes `content` to <root>/<relative> unless the file already exists, so
// that tests can seed their own settings. Creates missing directories.
bool SeedFile(const std::string &root, const std::string &relative, const std::string &content);

// Sandbox file holding a value that a stand-in program prints (for example
// the processor temperature of my_temp).
std::string SandboxStateFile(const std::string &root, const std::string &name);
