#pragma once
// A fresh temporary folder that is the current directory while the object lives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
 public:
  explicit TempFolder(const std::string& tag) {
    namespace fs = std::filesystem;
    static int counter = 0;
    old_ = fs::current_path();
    path_ = fs::path(testing::TempDir()) /
            ("bv_model_" + tag + "_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
    fs::current_path(path_);
  }
  ~TempFolder() {
    std::filesystem::current_path(old_);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }

 private:
  std::filesystem::path old_, path_;
};

inline void writeFile(const std::string& name, const std::string& text) {
  std::filesystem::path p(name);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path());
  std::ofstream(name) << text;
}

inline std::string readFile(const std::string& name) {
  std::ifstream is(name);
  return std::string(std::istreambuf_iterator<char>(is), std::istreambuf_iterator<char>());
}
