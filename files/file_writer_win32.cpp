#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "files/file_system.h"
#include "files/file_writer.h"
#include "text/masked.h"

namespace fpu::files {

namespace {

// UTF-8 to the wide names Windows takes; empty when `utf8` is not UTF-8.
std::wstring wide(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(std::max(n, 0)), L'\0');
  if (n > 0) {
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        out.data(), n);
  }
  return out;
}

std::string system_error(DWORD code) {
  char text[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, text, sizeof text, nullptr);
  std::string out(text, n);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) {
    out.pop_back();
  }
  return out.empty() ? "error " + std::to_string(code) : out;
}

std::size_t last_separator(const std::string& path) {
  return path.find_last_of("/\\");
}

// Whether `owner` may choose where a link of theirs leads for this process: this user, or
// the machine's own accounts (administrators, the system).
bool trusted_owner(PSID owner) {
  if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
      IsWellKnownSid(owner, WinLocalSystemSid)) {
    return true;
  }
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  alignas(TOKEN_USER) unsigned char buffer[256];
  DWORD size = 0;
  const bool mine = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) &&
                    EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
  CloseHandle(token);
  return mine;
}

// Why a symbolic link or junction on the way to `path` must not be followed, or "": one of
// another user could lead this user's writes to any file this user may write. (Checked
// before the file is opened; the folders are not held meanwhile.)
std::string planted_reparse_point(const std::string& path) {
  for (std::size_t end = path.find_first_of("/\\", 1);; end = path.find_first_of("/\\", end + 1)) {
    const std::string prefix = path.substr(0, end);
    const bool drive = prefix.size() == 2 && prefix[1] == ':';
    const DWORD attributes =
        drive ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide(prefix).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      HANDLE link = CreateFileW(wide(prefix).c_str(), READ_CONTROL,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      PSID owner = nullptr;
      PSECURITY_DESCRIPTOR descriptor = nullptr;
      const bool known = link != INVALID_HANDLE_VALUE &&
                         GetSecurityInfo(link, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                         nullptr, nullptr, nullptr, &descriptor) == ERROR_SUCCESS;
      const bool trusted = known && trusted_owner(owner);
      if (descriptor != nullptr) LocalFree(descriptor);
      if (link != INVALID_HANDLE_VALUE) CloseHandle(link);
      if (!trusted) {
        return "'" + masked(prefix) + "' is a link " +
               (known ? "of another user" : "whose owner cannot be read") + ": not followed";
      }
    }
    if (end == std::string::npos) return {};
  }
}

}  // namespace

namespace detail {

long write_some(int fd, const void* data, std::size_t size) {
  return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, INT_MAX)));
}
int sync(int fd) {
  return _commit(fd);
}
int close(int fd) {
  return _close(fd);
}

}  // namespace detail

bool FileWriter::open(const std::string& path, Target target) {
  if (!start(path, target)) return false;
  const std::wstring name = wide(path);
  if (name.empty()) return fail(Step::name, "the name is not UTF-8");
  if (std::string why = planted_reparse_point(path); !why.empty()) return fail(Step::check, why);

  if (target == Target::replace) {
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return fail_errno(Step::check, EISDIR);
    }
    // A device (NUL, a console, a pipe) is written in place.
    HANDLE probe =
        CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      const DWORD type = GetFileType(probe);
      CloseHandle(probe);
      if (type != FILE_TYPE_DISK) {
        fd_ = _wopen(name.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
        if (fd_ < 0) return fail_errno(Step::open, errno);
        return true;
      }
    }
  }

  const std::size_t slash = last_separator(final_);
  const std::string folder = slash == std::string::npos ? "." : final_.substr(0, slash);
  const std::string base = slash == std::string::npos ? final_ : final_.substr(slash + 1);
  const std::string prefix = folder + "\\." + base.substr(0, 200) + ".tmp-";
  static std::atomic<unsigned> serial{0};
  for (int attempt = 0; fd_ < 0; ++attempt) {
    const unsigned mix = static_cast<unsigned>(GetCurrentProcessId()) * 2654435761u ^
                         static_cast<unsigned>(std::time(nullptr)) ^ (serial++ * 40503u);
    temp_ = prefix + std::to_string(mix % 1000000u);
    fd_ = _wopen(wide(temp_).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
    if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
      const int error = errno;
      temp_.clear();
      return fail(Step::open, "cannot make a temporary file in '" + masked(folder) +
                                  "': " + std::strerror(error));
    }
  }
  return true;
}

bool FileWriter::commit() {
  if (!reason_.empty() || !is_open() || !finish()) return false;
  if (temp_.empty()) return true;
  const std::wstring from = wide(temp_);
  const std::wstring to = wide(final_);
  if (target_ == Target::replace) {
    // ReplaceFile keeps the old file's owner, access list and attributes.
    BOOL done = ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                             nullptr, nullptr);
    if (!done && GetLastError() == ERROR_FILE_NOT_FOUND) {
      done = MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH);
    }
    if (!done) return fail(Step::rename, system_error(GetLastError()));
  } else if (!MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) {
      name_taken_ = true;
      return false;
    }
    return fail(Step::rename, system_error(error));
  }
  temp_.clear();
  return true;
}

void FileWriter::abandon() {
  if (fd_ >= 0) _close(fd_);
  fd_ = -1;
  if (!temp_.empty()) _wunlink(wide(temp_).c_str());  // ours: made by open()
  temp_.clear();
  buffer_.clear();
}

// The Windows programs are window programs, ended through their window, not by signals.
void remove_temporary_files_on_signals() {}

}  // namespace fpu::files
