#pragma once
// Test helpers for files that cannot be written: a file size limit, and the rights of
// an ordinary user for tests that run as root.
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

// While it lives, files are accessed with the rights of "nobody" when the tests run as
// root, who could otherwise write into any folder; run as anyone else, the permissions
// set by the test already apply. The saved ids stay root's, so they can be restored.
class ActingAsNobody
{
public:
    static constexpr uid_t NobodyUid = 65534;
    static constexpr gid_t NobodyGid = 65534;
    ActingAsNobody()
    {
        if (geteuid() != 0) {
            ok = true;
            return;
        }
        // Real ids as well, so that access() answers for nobody too.
        switched_ = setresgid(NobodyGid, NobodyGid, 0) == 0 && setresuid(NobodyUid, NobodyUid, 0) == 0;
        ok = switched_;
    }
    ~ActingAsNobody()
    {
        if (switched_ && setresuid(0, 0, 0) == 0)
            setresgid(0, 0, 0);
    }
    ActingAsNobody(const ActingAsNobody &) = delete;
    ActingAsNobody &operator=(const ActingAsNobody &) = delete;
    bool ok = false;

private:
    bool switched_ = false;
};

// Keeps the process from being killed when a write passes the file size limit; the write
// fails with an error instead.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limit = previous;
        limit.rlim_cur = bytes;
        ok = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool ok = false;

private:
    rlimit previous{};
    void (*previousHandler)(int) = nullptr;
};
