// The posix backend: Linux builds, tests and demos.
//
// The file system is presented with Windows paths: "\" is turned into "/" at
// this boundary and back, so that the launcher's path rules run unchanged.
// Resources are the ones linked into the image (embedded_resources.h), used in
// place. The shell start spawns the program with the given folder as its
// current directory and does not wait. The report goes to stderr.
#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/embedded_resources.h"
#include "platform/os.h"

// Weak references: an image without resources does not define the table, and
// then both addresses are null. (A weak default definition here would let the
// compiler fold its count of 0 into the lookup.)
extern "C" {
__attribute__((weak)) extern const EmbeddedResource platform_embedded_resources[];
__attribute__((weak)) extern const std::uint32_t platform_embedded_resource_count;
}

extern char** environ;

namespace platform {

namespace {

std::string ToNative(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

std::string FromNative(const std::string& path) {
  std::string out = path;
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

// Windows error codes for the errno values that matter here.
std::uint32_t WindowsError(int err) {
  switch (err) {
    case 0: return 0;
    case ENOENT: return 2;       // ERROR_FILE_NOT_FOUND
    case ENOTDIR: return 3;      // ERROR_PATH_NOT_FOUND
    case EACCES:
    case EPERM:
    case EROFS:
    case ELOOP: return 5;        // ERROR_ACCESS_DENIED
    case EEXIST: return 183;     // ERROR_ALREADY_EXISTS
    case ENOSPC: return 112;     // ERROR_DISK_FULL
    case ENOMEM: return 8;       // ERROR_NOT_ENOUGH_MEMORY
    case EBUSY:
    case ETXTBSY: return 32;     // ERROR_SHARING_VIOLATION
    case EISDIR: return 5;       // ERROR_ACCESS_DENIED
    case ENAMETOOLONG: return 206;  // ERROR_FILENAME_EXCED_RANGE
    default: return 31;          // ERROR_GEN_FAILURE
  }
}

class PosixOs final : public Os {
 public:
  std::uint32_t GetTempPath(std::uint32_t size, char* buffer) override {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = (tmp && *tmp) ? tmp : "/tmp";
    dir = FromNative(dir);
    if (dir.back() != '\\') dir += '\\';
    if (dir.size() + 1 > size) return static_cast<std::uint32_t>(dir.size() + 1);
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return static_cast<std::uint32_t>(dir.size());
  }

  std::uint32_t LastError() override { return last_error_; }

  std::string SystemErrorMessage(std::uint32_t code) override {
    switch (code) {
      case 2: return "Das System kann die angegebene Datei nicht finden.";
      case 3: return "Das System kann den angegebenen Pfad nicht finden.";
      case 5: return "Zugriff verweigert";
      case 8: return "Nicht genügend Speicher verfügbar, um diesen Befehl zu verarbeiten.";
      case 32:
        return "Der Prozess kann nicht auf die Datei zugreifen, da sie von einem anderen Prozess "
               "verwendet wird.";
      case 112: return "Auf dem Datenträger ist nicht genügend Speicherplatz vorhanden.";
      default: return "Fehler " + std::to_string(code);
    }
  }

  std::string ModuleName() override {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    path[n] = 0;
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
  }

  std::uint32_t GetFileAttributes(const std::string& path) override {
    struct stat st;
    if (lstat(ToNative(path).c_str(), &st) != 0) {
      Fail();
      return kInvalidFileAttributes;
    }
    std::uint32_t attributes = 0;
    if (S_ISLNK(st.st_mode)) {
      attributes |= kAttributeReparsePoint;
      struct stat target;
      if (stat(ToNative(path).c_str(), &target) == 0 && S_ISDIR(target.st_mode))
        attributes |= kAttributeDirectory;
    } else if (S_ISDIR(st.st_mode)) {
      attributes |= kAttributeDirectory;
    }
    if (S_ISREG(st.st_mode) && IsReadOnly(st)) attributes |= kAttributeReadOnly;
    return attributes ? attributes : 0x80;  // FILE_ATTRIBUTE_NORMAL
  }

  bool CreateDirectory(const std::string& path) override {
    if (mkdir(ToNative(path).c_str(), 0700) == 0) return true;
    Fail();
    return false;
  }

  bool FindResource(const std::string& type, const std::string& name,
                    ResourceData* out) override {
    const std::uint32_t count =
        &platform_embedded_resource_count ? platform_embedded_resource_count : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      const EmbeddedResource& r = platform_embedded_resources[i];
      if (strcasecmp(r.type, type.c_str()) == 0 && strcasecmp(r.name, name.c_str()) == 0) {
        out->data = r.data;
        out->size = r.size;
        return true;
      }
    }
    last_error_ = 1814;  // ERROR_RESOURCE_NAME_NOT_FOUND
    return false;
  }

  FileHandle OpenExisting(const std::string& path) override {
    return Open(path, O_RDONLY, LOCK_EX, false);
  }

  FileHandle CreateAlways(const std::string& path) override {
    return Open(path, O_RDWR | O_CREAT, LOCK_EX, true);
  }

  std::int32_t Read(FileHandle h, void* buffer, std::int32_t count) override {
    std::int32_t total = 0;
    while (total < count) {
      const ssize_t n = ::read(Fd(h), static_cast<char*>(buffer) + total,
                               static_cast<std::size_t>(count - total));
      if (n < 0) {
        if (errno == EINTR) continue;
        Fail();
        return -1;
      }
      if (n == 0) break;
      total += static_cast<std::int32_t>(n);
    }
    return total;
  }

  std::int32_t Write(FileHandle h, const void* buffer, std::int32_t count) override {
    std::int32_t total = 0;
    while (total < count) {
      const ssize_t n = ::write(Fd(h), static_cast<const char*>(buffer) + total,
                                static_cast<std::size_t>(count - total));
      if (n < 0) {
        if (errno == EINTR) continue;
        Fail();
        return total > 0 ? total : -1;
      }
      total += static_cast<std::int32_t>(n);
    }
    return total;
  }

  void Flush(FileHandle h) override { fsync(Fd(h)); }

  void Close(FileHandle h) override { ::close(Fd(h)); }

  bool DeleteFile(const std::string& path) override {
    if (unlink(ToNative(path).c_str()) == 0) return true;
    Fail();
    return false;
  }

  std::intptr_t ShellExecute(const char* verb, const std::string& file, const char* parameters,
                             const std::string& directory, int show) override {
    (void)verb;
    (void)show;
    const std::string program = ToNative(file);
    if (access(program.c_str(), X_OK) != 0) {
      Fail();
      return errno == ENOENT ? 2 : 5;  // SE_ERR_FNF / SE_ERR_ACCESSDENIED
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, ToNative(directory).c_str());
    std::string params = parameters ? parameters : "";
    char* argv[3] = {const_cast<char*>(program.c_str()),
                     params.empty() ? nullptr : params.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      last_error_ = WindowsError(rc);
      return rc == ENOENT ? 2 : 31;  // SE_ERR_FNF / SE_ERR_NOASSOC
    }
    return 42;
  }

  void MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    (void)flags;
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
  }

  void CreateApplicationWindow() override {}
  void SetApplicationTitle(const std::string& title) override { (void)title; }
  void DestroyApplicationWindow() override {}

  // There is no DLL search to restrict: the image's libraries are resolved by
  // the dynamic loader from its own fixed paths.
  void RestrictDllSearch() override {}

  // An open folder cannot keep others from renaming it here; the handle at
  // least proves that the name was a real folder, not a link, when it was held.
  FileHandle HoldFolder(const std::string& path) override {
    const int fd = OpenFolder(ToNative(path));
    if (fd < 0) return -1;
    return static_cast<FileHandle>(fd) + 1;
  }

  // Trusted: a real folder (not a link), owned by this user, that nobody else
  // may enter or change.
  bool IsFolderTrusted(const std::string& path) override {
    const int fd = OpenFolder(ToNative(path));
    if (fd < 0) return false;
    struct stat st;
    const bool trusted =
        fstat(fd, &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 077) == 0;
    ::close(fd);
    return trusted;
  }

  // Owner this user, mode 0700, set through a handle on the folder itself, so
  // a link put in its place meanwhile changes nothing elsewhere.
  bool ProtectFolder(const std::string& path) override {
    const int fd = OpenFolder(ToNative(path));
    if (fd < 0) return false;
    struct stat st;
    bool done = fstat(fd, &st) == 0;
    if (done && st.st_uid != geteuid()) done = fchown(fd, geteuid(), getegid()) == 0;
    if (done) done = fchmod(fd, 0700) == 0;
    if (!done) Fail();
    ::close(fd);
    return done;
  }

  bool EmptyFolder(const std::string& path) override {
    const int fd = OpenFolder(ToNative(path));
    if (fd < 0) return false;
    const bool removed = RemoveAt(fd);
    ::close(fd);
    return removed;
  }

  FileHandle OpenReadLocked(const std::string& path) override {
    return Open(path, O_RDONLY, LOCK_SH, false);
  }

 private:
  static int Fd(FileHandle h) { return static_cast<int>(h - 1); }

  void Fail() { last_error_ = WindowsError(errno); }

  // A file without any write permission stands for one with the read-only
  // attribute, which Windows refuses to open for writing even to an
  // administrator; root here is refused the same way.
  static bool IsReadOnly(const struct stat& st) { return (st.st_mode & 0222) == 0; }

  // The mode of a created file: runnable, as far as the umask allows.
  static mode_t CreationMode() {
    static const mode_t mode = [] {
      const mode_t mask = umask(0);
      umask(mask);
      return static_cast<mode_t>(0755 & ~mask);
    }();
    return mode;
  }

  // Opens a regular file without following a final symbolic link. The advisory
  // lock stands in for the share mode, so two launchers do not write one file
  // at once; it is taken before anything is truncated, so a file that another
  // process holds stays as it was. A created or replaced file gets the
  // execute bits (as far as the umask allows), as CREATE_ALWAYS gives a
  // replaced file the new attributes: on Windows the shell can start any file.
  FileHandle Open(const std::string& path, int flags, int lock, bool truncate) {
    // O_NONBLOCK: a FIFO planted under the name must not block the open.
    const int fd =
        ::open(ToNative(path).c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0755);
    if (fd < 0) {
      Fail();
      return -1;
    }
    struct stat st;
    int refusal = 0;
    if (fstat(fd, &st) != 0) {
      refusal = errno;
    } else if (!S_ISREG(st.st_mode)) {
      refusal = EACCES;
    } else if ((flags & O_ACCMODE) != O_RDONLY && IsReadOnly(st)) {
      refusal = EACCES;
    } else if (flock(fd, lock | LOCK_NB) != 0) {
      refusal = errno;
    } else if (fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
      refusal = errno;
    } else if (truncate && (ftruncate(fd, 0) != 0 || fchmod(fd, CreationMode()) != 0)) {
      refusal = errno;
    }
    if (refusal != 0) {
      last_error_ = WindowsError(refusal == EWOULDBLOCK ? EBUSY : refusal);
      ::close(fd);
      return -1;
    }
    return static_cast<FileHandle>(fd) + 1;
  }

  // The folder itself; a symbolic link under the name fails (ELOOP).
  int OpenFolder(const std::string& native) {
    const int fd = ::open(native.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) Fail();
    return fd;
  }

  // Removes what lies in the folder open as dfd, never following a link:
  // links are unlinked themselves, real folders emptied through a handle of
  // their own and removed. False when something stays.
  bool RemoveAt(int dfd) {
    const int listing = dup(dfd);
    DIR* d = listing >= 0 ? fdopendir(listing) : nullptr;
    if (!d) {
      if (listing >= 0) ::close(listing);
      Fail();
      return false;
    }
    bool removed = true;
    while (dirent* e = readdir(d)) {
      if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
      struct stat st;
      if (fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) removed = false;  // gone meanwhile is fine
        continue;
      }
      int flags = 0;
      if (S_ISDIR(st.st_mode)) {
        const int child = openat(dfd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) {
          removed = false;
          continue;
        }
        if (!RemoveAt(child)) removed = false;
        ::close(child);
        flags = AT_REMOVEDIR;
      }
      if (unlinkat(dfd, e->d_name, flags) != 0 && errno != ENOENT) {
        Fail();
        removed = false;
      }
    }
    closedir(d);
    return removed;
  }

  std::uint32_t last_error_ = 0;
};

}  // namespace

Os& DefaultOs() {
  static PosixOs os;
  return os;
}

}  // namespace platform
