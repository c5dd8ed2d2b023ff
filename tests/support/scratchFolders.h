#pragma once
// Folders and files that tests create under the system temporary folder. Each
// is registered when made and removed when the test program ends, also after
// failed tests, so a run of the suite leaves nothing behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

class ScratchRegistry {
 public:
  static ScratchRegistry& instance() {
    static ScratchRegistry registry;
    return registry;
  }
  void add(const std::string& path) { paths_.push_back(path); }
  ~ScratchRegistry() {
    for (const std::string& p : paths_) {
      std::error_code ec;
      std::filesystem::remove_all(p, ec);
    }
  }

 private:
  ScratchRegistry() = default;
  std::vector<std::string> paths_;
};

// A path under the temporary folder, unique to this test program, removed at its end.
inline std::string scratchPath(const std::string& stem) {
  const std::string path = testing::TempDir() + stem + "_" + std::to_string(getpid());
  ScratchRegistry::instance().add(path);
  return path;
}

// A fresh, empty folder under the temporary folder, removed at the program's end.
inline std::string scratchFolder(const std::string& stem) {
  const std::string dir = scratchPath(stem);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  std::filesystem::create_directories(dir, ec);
  EXPECT_FALSE(ec) << "cannot create " << dir << ": " << ec.message();
  return dir;
}
