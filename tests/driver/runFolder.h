#pragma once
// A fresh folder in which the built program runs and whose files the test reads
// afterwards; removed with the object.
#include <filesystem>
#include <map>
#include <string>
#include <vector>

struct RunOutput {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error stream
};

class RunFolder {
 public:
  explicit RunFolder(const std::string& label);
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  void write(const std::string& name, const std::string& text) const;
  // Copies every file of a folder of examples/ into this folder.
  void copyExample(const std::string& example) const;
  // Runs the program here with the arguments (program name excluded). A
  // program still running after timeLimit seconds (0: no limit) is killed
  // and reported with status -1.
  RunOutput run(const std::vector<std::string>& args, unsigned timeLimit = 0) const;
  // The same in two steps: start returns the process id of the running
  // program (the signals that end a run at their default action,
  // whatever the test program inherited); finish waits for it and gives its wait status too.
  int start(const std::vector<std::string>& args, unsigned timeLimit = 0) const;
  RunOutput finish(int pid, int* waitStatus = nullptr) const;

  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  // Every file below the folder: path relative to it -> content.
  std::map<std::string, std::string> files() const;
  // The same with the timing lines of the model echo dropped, so that two
  // runs can be compared file by file.
  std::map<std::string, std::string> outputs() const;
  const std::filesystem::path& path() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

// The lines of a text, without their line ends.
std::vector<std::string> linesOf(const std::string& text);
// How often a text occurs in another.
int countOf(const std::string& text, const std::string& part);
