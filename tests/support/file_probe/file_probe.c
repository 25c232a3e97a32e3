// SPDX-License-Identifier: Apache-2.0
/* A probe of the file calls a program makes, for the tests of what reaches
 * the disk (Linux). Preloaded (LD_PRELOAD) into the program under test, or
 * linked into a test program, it stands in front of the C library's write,
 * pwrite, ftruncate, fsync, fdatasync, rename, renameat, renameat2, link,
 * linkat, unlink and unlinkat. Every such call on a path inside the watched
 * folder is written to a log, one line each:
 *
 *   <number> TAB <call> TAB <descriptor> TAB <path> TAB <second path> TAB <result> TAB <errno>
 *
 * Paths are absolute; a descriptor's path is the one it has at the call.
 *
 * It can also end the program in a simulated power cut: at the Nth logged
 * call, before that call is made, every file in the watched folder loses the
 * bytes that were not synced (fsync or fdatasync) to the disk, and the process
 * is killed. Names keep the state they had: the model is a disk whose
 * metadata is journaled and whose data is cached until synced.
 *
 * It can fill the disk: writes to watched files may add only so many bytes
 * more, as readout_file_probe_fill_disk() says.
 *
 * And it can make a name appear at the last moment: before a rename or link
 * onto one chosen path, a small file is made there.
 *
 * Set-up by the environment when preloaded:
 *   READOUT_PROBE_ROOT    the folder to watch (required)
 *   READOUT_PROBE_LOG     the log file (required)
 *   READOUT_PROBE_CUT_AT  the number of the call to cut the power at (optional)
 *   READOUT_PROBE_PLANT   the path to make a file at (optional)
 * or by readout_file_probe_watch() when linked. */
#define _GNU_SOURCE
#include "tests/support/file_probe/file_probe.h"

#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

/* The C library's own function, looked up once (the POSIX way to turn
 * dlsym's object pointer into a function pointer). */
#define REAL(name)                                                                                                     \
    static __typeof__(name) *real_##name;                                                                              \
    if (real_##name == NULL)                                                                                           \
    *(void **)(&real_##name) = dlsym(RTLD_NEXT, #name)

/* ---- state, all of it under the lock ---- */

static pthread_mutex_t probeLock = PTHREAD_MUTEX_INITIALIZER;
static __thread int insideProbe; /* the probe's own calls go straight through */
static char watchedRoot[PATH_MAX];
static size_t watchedRootLength; /* 0: nothing is watched */
static int logDescriptor = -1;
static long callCount;
static long cutAt;
static char plantPath[PATH_MAX];
static int planted;
static long diskRoom = -1; /* the bytes writes may still add; -1: no limit */

/* The bytes of each file that are on the disk: its contents at its last sync,
 * or at the first write the probe saw (a file older than the run). */
struct SyncedFile {
    dev_t Device;
    ino_t Inode;
    char *Bytes;
    size_t Size;
};
static struct SyncedFile *syncedFiles;
static size_t syncedCount;
static size_t syncedCapacity;

/* ---- the real calls the probe itself makes ---- */

static ssize_t RealWrite(int fd, const void *bytes, size_t size)
{
    REAL(write);
    return real_write(fd, bytes, size);
}

static void WriteAll(int fd, const char *bytes, size_t size)
{
    while (size > 0) {
        const ssize_t written = RealWrite(fd, bytes, size);
        if (written <= 0 && errno != EINTR)
            return;
        if (written > 0) {
            bytes += written;
            size -= (size_t)written;
        }
    }
}

/* The whole of an open file, read through a descriptor of its own. */
static char *ReadWhole(int fd, size_t *size)
{
    char name[64];
    snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
    *size = 0;
    const int reader = open(name, O_RDONLY | O_CLOEXEC);
    if (reader < 0)
        return NULL;
    size_t capacity = 4096;
    char *bytes = malloc(capacity);
    for (;;) {
        if (*size == capacity)
            bytes = realloc(bytes, capacity *= 2);
        const ssize_t got = pread(reader, bytes + *size, capacity - *size, (off_t)*size);
        if (got <= 0)
            break;
        *size += (size_t)got;
    }
    close(reader);
    return bytes;
}

/* ---- paths ---- */

static int DescriptorPath(int fd, char *path)
{
    char name[64];
    snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(name, path, PATH_MAX - 1);
    if (length < 0)
        return 0;
    path[length] = '\0';
    return 1;
}

/* A path as the system takes it: relative ones from the folder or the working folder. */
static void AbsolutePath(int folderFd, const char *given, char *path)
{
    char base[PATH_MAX] = "";
    if (given[0] != '/') {
        if (folderFd == AT_FDCWD) {
            if (getcwd(base, sizeof base) == NULL)
                base[0] = '\0';
        } else if (!DescriptorPath(folderFd, base)) {
            base[0] = '\0';
        }
    }
    /* A path too long for PATH_MAX is cut; the system refuses it anyway. */
    const int length = base[0] != '\0' ? snprintf(path, PATH_MAX, "%s/%s", base, given)
                                        : snprintf(path, PATH_MAX, "%s", given);
    if (length < 0)
        path[0] = '\0';
}

static int Watched(const char *path)
{
    return watchedRootLength > 0 && strncmp(path, watchedRoot, watchedRootLength) == 0 &&
           (path[watchedRootLength] == '/' || path[watchedRootLength] == '\0');
}

/* ---- what is on the disk ---- */

static struct SyncedFile *FindSynced(dev_t device, ino_t inode)
{
    for (size_t i = 0; i < syncedCount; ++i)
        if (syncedFiles[i].Device == device && syncedFiles[i].Inode == inode)
            return &syncedFiles[i];
    return NULL;
}

/* Takes the file's contents now as what is on the disk; only the first time
 * unless `again` (a sync). */
static void RememberDisk(int fd, int again)
{
    struct stat facts;
    if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode))
        return;
    struct SyncedFile *file = FindSynced(facts.st_dev, facts.st_ino);
    if (file != NULL && !again)
        return;
    if (file == NULL) {
        if (syncedCount == syncedCapacity) {
            syncedCapacity = syncedCapacity ? 2 * syncedCapacity : 16;
            syncedFiles = realloc(syncedFiles, syncedCapacity * sizeof *syncedFiles);
        }
        file = &syncedFiles[syncedCount++];
        file->Device = facts.st_dev;
        file->Inode = facts.st_ino;
        file->Bytes = NULL;
    }
    free(file->Bytes);
    file->Bytes = ReadWhole(fd, &file->Size);
}

/* Every file the probe saw written goes back to what was synced of it. */
static void DropUnsyncedBytes(const char *folder)
{
    DIR *listing = opendir(folder);
    if (listing == NULL)
        return;
    for (struct dirent *entry; (entry = readdir(listing)) != NULL;) {
        if (strcmp(entry->d_name, ".") == 0 || strcmp(entry->d_name, "..") == 0)
            continue;
        char path[PATH_MAX];
        snprintf(path, sizeof path, "%s/%s", folder, entry->d_name);
        struct stat facts;
        if (lstat(path, &facts) != 0)
            continue;
        if (S_ISDIR(facts.st_mode)) {
            DropUnsyncedBytes(path);
            continue;
        }
        const struct SyncedFile *file = S_ISREG(facts.st_mode) ? FindSynced(facts.st_dev, facts.st_ino) : NULL;
        if (file == NULL)
            continue;
        const int writer = open(path, O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (writer >= 0) {
            WriteAll(writer, file->Bytes, file->Size);
            close(writer);
        }
    }
    closedir(listing);
}

/* ---- the log ---- */

static void Log(const char *call, int fd, const char *path, const char *second, long result, int error)
{
    if (logDescriptor < 0)
        return;
    char line[3 * PATH_MAX];
    const int length = snprintf(line, sizeof line, "%ld\t%s\t%d\t%s\t%s\t%ld\t%d\n", callCount, call, fd, path,
                                second ? second : "", result, error);
    if (length > 0)
        WriteAll(logDescriptor, line, (size_t)length < sizeof line ? (size_t)length : sizeof line - 1);
}

/* Counts a call about to be made on a watched path; at the chosen one the power goes. */
static void BeginCall(void)
{
    pthread_mutex_lock(&probeLock);
    insideProbe = 1;
    ++callCount;
    if (cutAt > 0 && callCount == cutAt) {
        DropUnsyncedBytes(watchedRoot);
        Log("power-cut", -1, watchedRoot, "", 0, 0);
        kill(getpid(), SIGKILL);
        for (;;)
            pause();
    }
}

static void EndCall(void)
{
    insideProbe = 0;
    pthread_mutex_unlock(&probeLock);
}

static void PlantBefore(const char *target)
{
    if (plantPath[0] == '\0' || planted || strcmp(target, plantPath) != 0)
        return;
    planted = 1;
    const int fd = open(plantPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    static const char text[] = "made by the file probe\n";
    WriteAll(fd, text, sizeof text - 1);
    close(fd);
    Log("plant", -1, plantPath, "", 0, 0);
}

/* ---- set-up ---- */

static void Watch(const char *root, const char *logPath, long cut, const char *plant)
{
    pthread_mutex_lock(&probeLock);
    insideProbe = 1;
    if (logDescriptor >= 0)
        close(logDescriptor);
    logDescriptor = -1;
    watchedRootLength = 0;
    callCount = 0;
    cutAt = cut;
    planted = 0;
    snprintf(plantPath, sizeof plantPath, "%s", plant ? plant : "");
    if (root != NULL && logPath != NULL && realpath(root, watchedRoot) != NULL) {
        logDescriptor = open(logPath, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (logDescriptor >= 0)
            watchedRootLength = strlen(watchedRoot);
    }
    insideProbe = 0;
    pthread_mutex_unlock(&probeLock);
}

void readout_file_probe_watch(const char *root, const char *logPath)
{
    Watch(root, logPath, 0, NULL);
}

void readout_file_probe_fill_disk(long room)
{
    pthread_mutex_lock(&probeLock);
    diskRoom = room;
    pthread_mutex_unlock(&probeLock);
}

__attribute__((constructor)) static void WatchFromEnvironment(void)
{
    const char *cut = getenv("READOUT_PROBE_CUT_AT");
    if (getenv("READOUT_PROBE_ROOT") != NULL)
        Watch(getenv("READOUT_PROBE_ROOT"), getenv("READOUT_PROBE_LOG"), cut ? atol(cut) : 0,
              getenv("READOUT_PROBE_PLANT"));
}

/* ---- the calls ---- */

/* A call on an open descriptor, logged when its file is watched; `disk` 1:
 * it changes the file's bytes. (write, which can fill the disk, is above.) */
#define DESCRIPTOR_CALL(call, disk, fd, ...)                                                                           \
    REAL(call);                                                                                                        \
    char path[PATH_MAX];                                                                                               \
    if (insideProbe || watchedRootLength == 0 || !DescriptorPath(fd, path) || !Watched(path))                         \
        return real_##call(fd, __VA_ARGS__);                                                                           \
    BeginCall();                                                                                                       \
    if (disk == 1)                                                                                                     \
        RememberDisk(fd, 0);                                                                                           \
    const __typeof__(real_##call(fd, __VA_ARGS__)) result = real_##call(fd, __VA_ARGS__);                              \
    const int error = result < 0 ? errno : 0;                                                                          \
    Log(#call, fd, path, "", (long)result, error);                                                                     \
    EndCall();                                                                                                         \
    errno = error;                                                                                                     \
    return result

/* The disk fills up as a real one does: a write that does not fit writes
 * what fits, the next one fails. */
static ssize_t WriteOnDisk(int fd, const void *bytes, size_t size)
{
    REAL(write);
    if (diskRoom < 0)
        return real_write(fd, bytes, size);
    if (diskRoom == 0 && size > 0) {
        errno = ENOSPC;
        return -1;
    }
    const ssize_t written = real_write(fd, bytes, size < (size_t)diskRoom ? size : (size_t)diskRoom);
    if (written > 0)
        diskRoom -= written;
    return written;
}

ssize_t write(int fd, const void *bytes, size_t size)
{
    REAL(write);
    char path[PATH_MAX];
    if (insideProbe || watchedRootLength == 0 || !DescriptorPath(fd, path) || !Watched(path))
        return real_write(fd, bytes, size);
    BeginCall();
    RememberDisk(fd, 0);
    const ssize_t result = WriteOnDisk(fd, bytes, size);
    const int error = result < 0 ? errno : 0;
    Log("write", fd, path, "", (long)result, error);
    EndCall();
    errno = error;
    return result;
}

ssize_t pwrite(int fd, const void *bytes, size_t size, off_t offset)
{
    DESCRIPTOR_CALL(pwrite, 1, fd, bytes, size, offset);
}

ssize_t pwrite64(int fd, const void *bytes, size_t size, off64_t offset)
{
    DESCRIPTOR_CALL(pwrite64, 1, fd, bytes, size, offset);
}

int ftruncate(int fd, off_t length)
{
    DESCRIPTOR_CALL(ftruncate, 1, fd, length);
}

int ftruncate64(int fd, off64_t length)
{
    DESCRIPTOR_CALL(ftruncate64, 1, fd, length);
}

/* fsync and fdatasync take nothing but the descriptor. */
#define SYNC_CALL(call, fd)                                                                                            \
    REAL(call);                                                                                                        \
    char path[PATH_MAX];                                                                                               \
    if (insideProbe || watchedRootLength == 0 || !DescriptorPath(fd, path) || !Watched(path))                         \
        return real_##call(fd);                                                                                        \
    BeginCall();                                                                                                       \
    const int result = real_##call(fd);                                                                                \
    const int error = result < 0 ? errno : 0;                                                                          \
    if (result == 0)                                                                                                   \
        RememberDisk(fd, 1);                                                                                           \
    Log(#call, fd, path, "", result, error);                                                                           \
    EndCall();                                                                                                         \
    errno = error;                                                                                                     \
    return result

int fsync(int fd)
{
    SYNC_CALL(fsync, fd);
}

int fdatasync(int fd)
{
    SYNC_CALL(fdatasync, fd);
}

/* A call on one or two names; `first` and `second` are their absolute forms. */
#define NAME_CALL(call, first, second, ...)                                                                            \
    REAL(call);                                                                                                        \
    if (insideProbe || watchedRootLength == 0 || (!Watched(first) && !(second[0] != '\0' && Watched(second))))        \
        return real_##call(__VA_ARGS__);                                                                               \
    BeginCall();                                                                                                       \
    if (second[0] != '\0')                                                                                             \
        PlantBefore(second);                                                                                           \
    const int result = real_##call(__VA_ARGS__);                                                                       \
    const int error = result < 0 ? errno : 0;                                                                          \
    Log(#call, -1, first, second, result, error);                                                                      \
    EndCall();                                                                                                         \
    errno = error;                                                                                                     \
    return result

int rename(const char *from, const char *to)
{
    char first[PATH_MAX], second[PATH_MAX];
    AbsolutePath(AT_FDCWD, from, first);
    AbsolutePath(AT_FDCWD, to, second);
    NAME_CALL(rename, first, second, from, to);
}

int renameat(int fromFolder, const char *from, int toFolder, const char *to)
{
    char first[PATH_MAX], second[PATH_MAX];
    AbsolutePath(fromFolder, from, first);
    AbsolutePath(toFolder, to, second);
    NAME_CALL(renameat, first, second, fromFolder, from, toFolder, to);
}

int renameat2(int fromFolder, const char *from, int toFolder, const char *to, unsigned int flags)
{
    char first[PATH_MAX], second[PATH_MAX];
    AbsolutePath(fromFolder, from, first);
    AbsolutePath(toFolder, to, second);
    NAME_CALL(renameat2, first, second, fromFolder, from, toFolder, to, flags);
}

int link(const char *from, const char *to)
{
    char first[PATH_MAX], second[PATH_MAX];
    AbsolutePath(AT_FDCWD, from, first);
    AbsolutePath(AT_FDCWD, to, second);
    NAME_CALL(link, first, second, from, to);
}

int linkat(int fromFolder, const char *from, int toFolder, const char *to, int flags)
{
    char first[PATH_MAX], second[PATH_MAX];
    AbsolutePath(fromFolder, from, first);
    AbsolutePath(toFolder, to, second);
    NAME_CALL(linkat, first, second, fromFolder, from, toFolder, to, flags);
}

int unlink(const char *name)
{
    char first[PATH_MAX], second[PATH_MAX] = "";
    AbsolutePath(AT_FDCWD, name, first);
    NAME_CALL(unlink, first, second, name);
}

int unlinkat(int folder, const char *name, int flags)
{
    char first[PATH_MAX], second[PATH_MAX] = "";
    AbsolutePath(folder, name, first);
    NAME_CALL(unlinkat, first, second, folder, name, flags);
}
