// A limit on the size of the files this process writes, for the duration of the object: a
// write past it fails with EFBIG (the signal that would end the process is ignored meanwhile),
// so a test can make a disk-full failure happen part-way through a file.
#pragma once

#include <csignal>
#include <stdexcept>
#include <sys/resource.h>

namespace tincrates::testing {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        if (::getrlimit(RLIMIT_FSIZE, &previous) != 0)
            throw std::runtime_error("cannot read the file size limit");
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = previous;
        limit.rlim_cur = bytes;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            throw std::runtime_error("cannot set the file size limit");
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    struct rlimit previous {};
    void (*previousHandler)(int) = SIG_DFL;
};

} // namespace tincrates::testing
