#include "orvo_sys/process.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "orvo_sys/portable.hpp"
#include "orvo_sys/unique_fd.hpp"

extern char** environ;

namespace orvo::sys {
namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

// The ends of a pipe, both closed on exec so that no other child inherits them.
struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

tl::unexpected<ProcessError> failure(ProcessError::Kind kind, int code) {
  return tl::unexpected(ProcessError{kind, OsError{code}});
}

tl::unexpected<ProcessError> other_failure(int code) {
  return failure(ProcessError::Kind::Other, code);
}

bool has_nul(std::string_view text) {
  return text.find('\0') != std::string_view::npos;
}

// A NUL byte would silently cut a text handed to the C library, so such commands are refused.
bool is_representable(const Command& command) {
  const auto bad_arg = [](const std::string& arg) { return has_nul(arg); };
  const auto bad_var = [](const auto& var) {
    return var.first.empty() || var.first.find('=') != std::string::npos || has_nul(var.first) ||
           has_nul(var.second);
  };
  return !has_nul(command.program) &&
         std::none_of(command.args.begin(), command.args.end(), bad_arg) &&
         std::none_of(command.env.begin(), command.env.end(), bad_var) &&
         !(command.cwd && has_nul(command.cwd->native()));
}

std::string_view variable_name(std::string_view entry) {
  return entry.substr(0, entry.find('='));
}

// The parent's environment with `extra` added or replacing variables of the same name.
std::vector<std::string> merged_environment(
    const std::vector<std::pair<std::string, std::string>>& extra) {
  std::vector<std::string> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    entries.emplace_back(*e);
  }
  for (const auto& variable : extra) {
    // A named reference: a lambda cannot capture a structured binding in every compiler.
    const std::string& name = variable.first;
    std::string entry = name + "=" + variable.second;
    const auto same = std::find_if(entries.begin(), entries.end(), [&](const std::string& old) {
      return variable_name(old) == name;
    });
    if (same != entries.end()) {
      *same = std::move(entry);
    } else {
      entries.push_back(std::move(entry));
    }
  }
  return entries;
}

std::vector<char*> pointers_to(std::vector<std::string>& texts) {
  std::vector<char*> out;
  out.reserve(texts.size() + 1);
  for (std::string& text : texts) {
    out.push_back(text.data());
  }
  out.push_back(nullptr);
  return out;
}

class FileActions {
 public:
  FileActions() { posix_spawn_file_actions_init(&actions_); }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

class SpawnAttributes {
 public:
  SpawnAttributes() { posix_spawnattr_init(&attr_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
  posix_spawnattr_t* get() { return &attr_; }

 private:
  posix_spawnattr_t attr_;
};

// Gives the child's descriptor `target` what `source` says: the parent's own (nothing to do),
// the null device, or a copy of the parent's descriptor.
int add_stream_action(posix_spawn_file_actions_t* actions, int source, int target) {
  if (source == StdStreams::kNullDevice) {
    const int mode = target == STDIN_FILENO ? O_RDONLY : O_WRONLY;
    return posix_spawn_file_actions_addopen(actions, target, "/dev/null", mode, 0);
  }
  if (source >= 0) {
    return posix_spawn_file_actions_adddup2(actions, source, target);
  }
  return 0;
}

int add_file_actions(posix_spawn_file_actions_t* actions, const StdStreams& streams,
                     const char* directory) {
  int rc = add_stream_action(actions, streams.in, STDIN_FILENO);
  if (rc == 0) {
    rc = add_stream_action(actions, streams.out, STDOUT_FILENO);
  }
  if (rc == 0) {
    rc = add_stream_action(actions, streams.err, STDERR_FILENO);
  }
  if (rc == 0 && directory != nullptr) {
    rc = add_chdir_action(actions, directory);
  }
  return rc;
}

// The child starts with no blocked signals and SIGPIPE at its default, whatever the parent's
// threads block or ignore, and in a session of its own when asked.
int set_attributes(posix_spawnattr_t* attr, bool new_session) {
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  int flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (new_session) {
    flags |= POSIX_SPAWN_SETSID;
  }
  int rc = posix_spawnattr_setsigmask(attr, &none);
  if (rc == 0) {
    rc = posix_spawnattr_setsigdefault(attr, &defaults);
  }
  if (rc == 0) {
    rc = posix_spawnattr_setflags(attr, static_cast<short>(flags));
  }
  return rc;
}

// The working directory is looked at here, before the spawn: posix_spawnp reports a missing
// directory and a missing program with the same ENOENT. The child changes into it by path,
// which needs only search permission there (opening it would need read permission where the
// system has no O_PATH, as macOS has not).
tl::expected<void, ProcessError> check_directory(const std::optional<std::filesystem::path>& cwd) {
  if (!cwd) {
    return {};
  }
  struct stat st {};
  if (::stat(cwd->c_str(), &st) != 0) {
    const int code = errno;
    const bool missing = code == ENOENT || code == ENOTDIR;
    return failure(missing ? ProcessError::Kind::DirectoryMissing : ProcessError::Kind::Other,
                   code);
  }
  if (!S_ISDIR(st.st_mode)) {
    return failure(ProcessError::Kind::DirectoryMissing, ENOTDIR);
  }
  return {};
}

std::vector<std::string> argument_texts(const Command& command) {
  std::vector<std::string> texts;
  texts.reserve(command.args.size() + 1);
  texts.push_back(command.program);
  texts.insert(texts.end(), command.args.begin(), command.args.end());
  return texts;
}

tl::expected<pid_t, ProcessError> spawn(const Command& command, const StdStreams& streams) {
  std::vector<std::string> argv_texts = argument_texts(command);
  std::vector<char*> argv = pointers_to(argv_texts);
  std::vector<std::string> env_texts;
  std::vector<char*> envp;
  char** env = environ;
  if (!command.env.empty()) {
    env_texts = merged_environment(command.env);
    envp = pointers_to(env_texts);
    env = envp.data();
  }

  FileActions actions;
  SpawnAttributes attributes;
  int rc = add_file_actions(actions.get(), streams, command.cwd ? command.cwd->c_str() : nullptr);
  if (rc == 0) {
    rc = set_attributes(attributes.get(), command.new_session);
  }
  if (rc != 0) {
    return other_failure(rc);
  }
  pid_t pid = 0;
  rc = posix_spawnp(&pid, command.program.c_str(), actions.get(), attributes.get(), argv.data(),
                    env);
  if (rc == ENOENT) {
    return failure(ProcessError::Kind::ProgramNotFound, rc);
  }
  if (rc != 0) {
    return other_failure(rc);
  }
  return pid;
}

tl::expected<pid_t, ProcessError> start(const Command& command, const StdStreams& streams) {
  if (!is_representable(command)) {
    return other_failure(EINVAL);
  }
  return check_directory(command.cwd).and_then([&] { return spawn(command, streams); });
}

tl::expected<ExitStatus, ProcessError> wait_for(pid_t pid) {
  int raw = 0;
  while (::waitpid(pid, &raw, 0) < 0) {
    if (errno != EINTR) {
      return other_failure(errno);
    }
  }
  return ExitStatus{raw};
}

tl::expected<Pipe, ProcessError> make_pipe() {
  int fds[2];
  if (const int error = open_cloexec_pipe(fds); error != 0) {
    return other_failure(error);
  }
  return Pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
}

// Appends `bytes` to `sink`, its room growing fourfold when full. Each growth copies all that was
// read into memory touched for the first time, so fewer, larger steps spend less on copies and
// page faults; room never written costs address space, not memory.
void append_output(std::string& sink, std::string_view bytes) {
  if (sink.capacity() - sink.size() < bytes.size()) {
    sink.reserve(std::max(4 * sink.capacity(), sink.size() + bytes.size()));
  }
  sink.append(bytes);
}

// Reads both pipes to their ends, whichever has data first, so the child never blocks on a
// full pipe while the other is being read.
tl::expected<void, ProcessError> drain(int out_fd, int err_fd, std::string& out, std::string& err) {
  std::array<pollfd, 2> fds{{{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}}};
  std::array<std::string*, 2> sinks{&out, &err};
  std::array<char, kReadChunk> chunk;
  int open = 2;
  while (open > 0) {
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      return other_failure(errno);
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) {
        continue;
      }
      const ssize_t n = ::read(fds[i].fd, chunk.data(), chunk.size());
      if (n > 0) {
        append_output(*sinks[i], {chunk.data(), static_cast<std::size_t>(n)});
      } else if (n == 0) {
        fds[i].fd = -1;
        --open;
      } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
        return other_failure(errno);
      }
    }
  }
  return {};
}

void reap_in_background(pid_t pid) {
  try {
    std::thread([pid] { (void)wait_for(pid); }).detach();
  } catch (const std::system_error&) {
    // Without a thread the child stays a zombie until Orvo exits; it still runs normally.
  }
}

struct SignalName {
  int number;
  const char* name;
};

constexpr SignalName kSignalNames[] = {
    {SIGHUP, "SIGHUP"},       {SIGINT, "SIGINT"},   {SIGQUIT, "SIGQUIT"},   {SIGILL, "SIGILL"},
    {SIGTRAP, "SIGTRAP"},     {SIGABRT, "SIGABRT"}, {SIGBUS, "SIGBUS"},     {SIGFPE, "SIGFPE"},
    {SIGKILL, "SIGKILL"},     {SIGUSR1, "SIGUSR1"}, {SIGSEGV, "SIGSEGV"},   {SIGUSR2, "SIGUSR2"},
    {SIGPIPE, "SIGPIPE"},     {SIGALRM, "SIGALRM"}, {SIGTERM, "SIGTERM"},   {SIGCHLD, "SIGCHLD"},
    {SIGCONT, "SIGCONT"},     {SIGSTOP, "SIGSTOP"}, {SIGTSTP, "SIGTSTP"},   {SIGTTIN, "SIGTTIN"},
    {SIGTTOU, "SIGTTOU"},     {SIGURG, "SIGURG"},   {SIGXCPU, "SIGXCPU"},   {SIGXFSZ, "SIGXFSZ"},
    {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"}, {SIGWINCH, "SIGWINCH"}, {SIGIO, "SIGIO"},
    {SIGSYS, "SIGSYS"},
#ifdef SIGSTKFLT
    {SIGSTKFLT, "SIGSTKFLT"},
#endif
#ifdef SIGPWR
    {SIGPWR, "SIGPWR"},
#endif
#ifdef SIGEMT
    {SIGEMT, "SIGEMT"},
#endif
#ifdef SIGINFO
    {SIGINFO, "SIGINFO"},
#endif
};

const char* signal_name(int signal) {
  for (const SignalName& known : kSignalNames) {
    if (known.number == signal) {
      return known.name;
    }
  }
  return nullptr;
}

std::string signal_text(int signal) {
  std::string text = std::to_string(signal);
  if (const char* name = signal_name(signal)) {
    text += " (";
    text += name;
    text += ")";
  }
  return text;
}

}  // namespace

bool ExitStatus::success() const {
  return WIFEXITED(raw) && WEXITSTATUS(raw) == 0;
}

std::optional<int> ExitStatus::code() const {
  if (WIFEXITED(raw)) {
    return WEXITSTATUS(raw);
  }
  return std::nullopt;
}

std::optional<int> ExitStatus::signal() const {
  if (WIFSIGNALED(raw)) {
    return WTERMSIG(raw);
  }
  return std::nullopt;
}

std::string exit_status_text(ExitStatus status) {
  const int raw = status.raw;
  if (WIFEXITED(raw)) {
    return "exit status: " + std::to_string(WEXITSTATUS(raw));
  }
  if (WIFSIGNALED(raw)) {
    std::string text = "signal: " + signal_text(WTERMSIG(raw));
    if (WCOREDUMP(raw)) {
      text += " (core dumped)";
    }
    return text;
  }
  if (WIFSTOPPED(raw)) {
    return "stopped (not terminated) by signal: " + signal_text(WSTOPSIG(raw));
  }
  if (WIFCONTINUED(raw)) {
    return "continued (WIFCONTINUED)";
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "%#x", static_cast<unsigned>(raw));
  return "unrecognised wait status: " + std::to_string(raw) + " " + hex;
}

tl::expected<Output, ProcessError> run_and_capture(const Command& command) {
  auto out_pipe = make_pipe();
  if (!out_pipe) {
    return tl::unexpected(out_pipe.error());
  }
  auto err_pipe = make_pipe();
  if (!err_pipe) {
    return tl::unexpected(err_pipe.error());
  }
  const auto pid = start(
      command,
      {.in = StdStreams::kNullDevice, .out = out_pipe->write.get(), .err = err_pipe->write.get()});
  out_pipe->write.reset();
  err_pipe->write.reset();
  if (!pid) {
    return tl::unexpected(pid.error());
  }
  Output output;
  const auto drained = drain(out_pipe->read.get(), err_pipe->read.get(), output.out, output.err);
  // Closing the read ends first lets a child still writing end on SIGPIPE rather than block.
  out_pipe->read.reset();
  err_pipe->read.reset();
  const auto status = wait_for(*pid);
  if (!drained) {
    return tl::unexpected(drained.error());
  }
  if (!status) {
    return tl::unexpected(status.error());
  }
  output.status = *status;
  return output;
}

tl::expected<pid_t, ProcessError> spawn_detached(const Command& command,
                                                 const StdStreams& streams) {
  const auto pid = start(command, streams);
  if (pid) {
    reap_in_background(*pid);
  }
  return pid;
}

tl::expected<ExitStatus, ProcessError> spawn_and_wait(const Command& command,
                                                      const StdStreams& streams) {
  return start(command, streams).and_then(wait_for);
}

}  // namespace orvo::sys
