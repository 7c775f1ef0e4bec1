// Runs a program of the build as a child process with its own TMPDIR and
// collects its exit code and what it wrote to stderr (the posix backend's
// report). Output goes to files, not pipes: the inner setup that a launcher
// starts inherits them and may outlive the launcher.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

namespace testing_launcher {

struct RunResult {
  int exit_code = -1;  // -1: did not run or did not exit normally
  std::string error_output;
};

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs program with args; TMPDIR is set to tmpdir for it. Its output files
// are kept in output_dir.
inline RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                            const std::string& tmpdir, const std::string& output_dir) {
  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "TMPDIR=", 7) != 0) env_strings.push_back(*e);
  env_strings.push_back("TMPDIR=" + tmpdir);
  std::vector<char*> env;
  for (auto& s : env_strings) env.push_back(s.data());
  env.push_back(nullptr);

  std::vector<std::string> argv_strings = {program};
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& s : argv_strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  const std::string out_path = output_dir + "/stdout.txt";
  const std::string err_path = output_dir + "/stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  RunResult result;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    result.error_output = std::string("cannot start ") + program + ": " + std::strerror(rc);
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return result;
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  result.error_output = ReadText(err_path);
  return result;
}

}  // namespace testing_launcher
