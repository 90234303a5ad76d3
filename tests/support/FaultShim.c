// A preloaded library that makes chosen file calls fail as a failing disk does. See FaultShim.h.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

#define KIND_READ 1u
#define KIND_WRITE 2u
#define KIND_SYNC 4u
#define KIND_RENAME 8u

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static volatile int armed;
static char pattern[512];
static unsigned kinds;
static long skip;
static long times;  // 0: for good
static int error;
static int kills;
static long matched;  // matching calls seen since armed
static long failed;   // of them, made to fail

__attribute__((visibility("default"))) void kavro_fault_arm(const char* path, unsigned callKinds,
                                                            long skipCalls, long failTimes, int errorNumber,
                                                            int killInstead) {
  pthread_mutex_lock(&lock);
  snprintf(pattern, sizeof pattern, "%s", path ? path : "");
  kinds = callKinds;
  skip = skipCalls < 0 ? 0 : skipCalls;
  times = failTimes < 0 ? 0 : failTimes;
  error = errorNumber ? errorNumber : EIO;
  kills = killInstead;
  matched = 0;
  failed = 0;
  armed = pattern[0] != '\0' && kinds != 0;
  pthread_mutex_unlock(&lock);
}

__attribute__((visibility("default"))) void kavro_fault_disarm(void) {
  pthread_mutex_lock(&lock);
  armed = 0;
  pthread_mutex_unlock(&lock);
}

__attribute__((visibility("default"))) long kavro_fault_matched(void) {
  pthread_mutex_lock(&lock);
  long n = matched;
  pthread_mutex_unlock(&lock);
  return n;
}

__attribute__((visibility("default"))) long kavro_fault_failed(void) {
  pthread_mutex_lock(&lock);
  long n = failed;
  pthread_mutex_unlock(&lock);
  return n;
}

static unsigned kindsFromText(const char* text) {
  if (!text || !*text) return KIND_READ | KIND_WRITE | KIND_SYNC;
  unsigned k = 0;
  if (strstr(text, "read")) k |= KIND_READ;
  if (strstr(text, "write")) k |= KIND_WRITE;
  if (strstr(text, "sync")) k |= KIND_SYNC;
  if (strstr(text, "rename")) k |= KIND_RENAME;
  return k;
}

static int errorFromText(const char* text) {
  if (!text || !*text || strcmp(text, "EIO") == 0) return EIO;
  if (strcmp(text, "ENOSPC") == 0) return ENOSPC;
  if (strcmp(text, "EROFS") == 0) return EROFS;
  if (strcmp(text, "EDQUOT") == 0) return EDQUOT;
  return atoi(text);
}

__attribute__((constructor)) static void armFromEnvironment(void) {
  const char* path = getenv("KAVRO_FAULT_PATH");
  if (!path || !*path) return;
  const char* s = getenv("KAVRO_FAULT_SKIP");
  const char* t = getenv("KAVRO_FAULT_TIMES");
  const char* a = getenv("KAVRO_FAULT_ACTION");
  kavro_fault_arm(path, kindsFromText(getenv("KAVRO_FAULT_CALLS")), s ? atol(s) : 0, t ? atol(t) : 1,
                  errorFromText(getenv("KAVRO_FAULT_ERRNO")), a && strcmp(a, "kill") == 0);
}

static int pathMatches(const char* path) {
  size_t n = strlen(pattern);
  if (n > 0 && pattern[n - 1] == '$') {  // anchored at the path's end
    size_t len = strlen(path);
    return len >= n - 1 && memcmp(path + len - (n - 1), pattern, n - 1) == 0;
  }
  return strstr(path, pattern) != NULL;
}

// Whether this call fails (errno set); a kill never returns.
static int faultFor(unsigned kind, const char* path, const char* otherPath) {
  if (!armed) return 0;
  int fail = 0;
  pthread_mutex_lock(&lock);
  if (armed && (kinds & kind) && ((path && pathMatches(path)) || (otherPath && pathMatches(otherPath)))) {
    long n = matched++;
    fail = n >= skip && (times == 0 || n < skip + times);
    if (fail) ++failed;
  }
  int err = error;
  int kill = kills;
  pthread_mutex_unlock(&lock);
  if (!fail) return 0;
  if (kill) raise(SIGKILL);
  errno = err;
  return 1;
}

static int faultForFd(unsigned kind, int fd) {
  if (!armed || !(kinds & kind)) return 0;
  char link[64];
  char path[4096];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = readlink(link, path, sizeof path - 1);
  if (n <= 0) return 0;
  path[n] = '\0';
  return faultFor(kind, path, NULL);
}

static int faultForAt(unsigned kind, int dirfd, const char* path, int dirfd2, const char* path2) {
  if (!armed || !(kinds & kind)) return 0;
  char full[2][4096];
  const char* paths[2] = {path, path2};
  int dirs[2] = {dirfd, dirfd2};
  for (int i = 0; i < 2; ++i) {
    if (!paths[i] || paths[i][0] == '/' || dirs[i] == AT_FDCWD) continue;
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", dirs[i]);
    ssize_t n = readlink(link, full[i], sizeof full[i] - 1);
    if (n <= 0) continue;
    snprintf(full[i] + n, sizeof full[i] - (size_t)n, "/%s", paths[i]);
    paths[i] = full[i];
  }
  return faultFor(kind, paths[0], paths[1]);
}

// The next definition after this library's: the sanitizer's or the C library's.
#define REAL(name)                      \
  static __typeof__(&name) real_##name; \
  if (!real_##name) real_##name = (__typeof__(&name))dlsym(RTLD_NEXT, #name)

__attribute__((visibility("default"))) ssize_t read(int fd, void* buf, size_t n) {
  REAL(read);
  if (faultForFd(KIND_READ, fd)) return -1;
  return real_read(fd, buf, n);
}

__attribute__((visibility("default"))) ssize_t pread(int fd, void* buf, size_t n, off_t at) {
  REAL(pread);
  if (faultForFd(KIND_READ, fd)) return -1;
  return real_pread(fd, buf, n, at);
}

__attribute__((visibility("default"))) ssize_t pread64(int fd, void* buf, size_t n, off64_t at) {
  REAL(pread64);
  if (faultForFd(KIND_READ, fd)) return -1;
  return real_pread64(fd, buf, n, at);
}

__attribute__((visibility("default"))) ssize_t write(int fd, const void* buf, size_t n) {
  REAL(write);
  if (faultForFd(KIND_WRITE, fd)) return -1;
  return real_write(fd, buf, n);
}

__attribute__((visibility("default"))) ssize_t pwrite(int fd, const void* buf, size_t n, off_t at) {
  REAL(pwrite);
  if (faultForFd(KIND_WRITE, fd)) return -1;
  return real_pwrite(fd, buf, n, at);
}

__attribute__((visibility("default"))) ssize_t pwrite64(int fd, const void* buf, size_t n, off64_t at) {
  REAL(pwrite64);
  if (faultForFd(KIND_WRITE, fd)) return -1;
  return real_pwrite64(fd, buf, n, at);
}

__attribute__((visibility("default"))) int ftruncate(int fd, off_t size) {
  REAL(ftruncate);
  if (faultForFd(KIND_WRITE, fd)) return -1;
  return real_ftruncate(fd, size);
}

__attribute__((visibility("default"))) int ftruncate64(int fd, off64_t size) {
  REAL(ftruncate64);
  if (faultForFd(KIND_WRITE, fd)) return -1;
  return real_ftruncate64(fd, size);
}

__attribute__((visibility("default"))) int fsync(int fd) {
  REAL(fsync);
  if (faultForFd(KIND_SYNC, fd)) return -1;
  return real_fsync(fd);
}

__attribute__((visibility("default"))) int fdatasync(int fd) {
  REAL(fdatasync);
  if (faultForFd(KIND_SYNC, fd)) return -1;
  return real_fdatasync(fd);
}

__attribute__((visibility("default"))) int rename(const char* from, const char* to) {
  REAL(rename);
  if (faultForAt(KIND_RENAME, AT_FDCWD, from, AT_FDCWD, to)) return -1;
  return real_rename(from, to);
}

__attribute__((visibility("default"))) int renameat(int fromDir, const char* from, int toDir,
                                                    const char* to) {
  REAL(renameat);
  if (faultForAt(KIND_RENAME, fromDir, from, toDir, to)) return -1;
  return real_renameat(fromDir, from, toDir, to);
}

__attribute__((visibility("default"))) int renameat2(int fromDir, const char* from, int toDir, const char* to,
                                                     unsigned flags) {
  REAL(renameat2);
  if (faultForAt(KIND_RENAME, fromDir, from, toDir, to)) return -1;
  return real_renameat2(fromDir, from, toDir, to, flags);
}
