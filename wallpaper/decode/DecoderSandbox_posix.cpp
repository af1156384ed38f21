#include <errno.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/resource.h>

#include <cstring>
#include <string>

#include "support/errors/Errors.h"
#include "wallpaper/decode/DecoderSandbox.h"

namespace tavrino {

namespace {

void Limit(int resource, rlim_t value) {
    const rlimit limit{value, value};
    ::setrlimit(resource, &limit);  // a limit already lower stays: that is fine too
}

}  // namespace

void LimitDecoder() {
    Limit(RLIMIT_AS, rlim_t{1} << 30U);
    Limit(RLIMIT_CPU, 20);
    Limit(RLIMIT_CORE, 0);
}

void SealDecoder() {
    // Whatever is not listed fails with EPERM rather than killing the process, so that a
    // library that probes for something gets a plain error and the decoder still answers.
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (filter == nullptr) {
        throw Error(errnum::InvalidProcedureCall, "the decoder's system-call filter failed");
    }
    // Reading the open picture, writing into the open bitmap and the answer; memory; threads
    // of Qt's image conversions; time; ending. Nothing that names a file.
    const int allowed[] = {
        SCMP_SYS(read),
        SCMP_SYS(pread64),
        SCMP_SYS(readv),
        SCMP_SYS(write),
        SCMP_SYS(pwrite64),
        SCMP_SYS(writev),
        SCMP_SYS(lseek),
        SCMP_SYS(fstat),
        SCMP_SYS(newfstatat),
        SCMP_SYS(statx),
        SCMP_SYS(fcntl),
        SCMP_SYS(close),
        SCMP_SYS(mmap),
        SCMP_SYS(munmap),
        SCMP_SYS(mremap),
        SCMP_SYS(mprotect),
        SCMP_SYS(madvise),
        SCMP_SYS(brk),
        SCMP_SYS(futex),
        SCMP_SYS(set_robust_list),
        SCMP_SYS(rseq),
        SCMP_SYS(sched_getaffinity),
        SCMP_SYS(sched_yield),
        SCMP_SYS(getpid),
        SCMP_SYS(gettid),
        SCMP_SYS(rt_sigprocmask),
        SCMP_SYS(rt_sigaction),
        SCMP_SYS(rt_sigreturn),
        SCMP_SYS(sigaltstack),
        SCMP_SYS(clock_gettime),
        SCMP_SYS(clock_nanosleep),
        SCMP_SYS(nanosleep),
        SCMP_SYS(getrandom),
        SCMP_SYS(exit),
        SCMP_SYS(exit_group),
    };
    int failed = 0;
    for (const int call : allowed) {
        failed |= seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0);
    }
    // Threads only: a new process would not be confined by the limits above any better, and
    // clone3's flags cannot be looked at, so it fails as unknown and the C library falls back.
    failed |= seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1,
                               SCMP_A0(SCMP_CMP_MASKED_EQ, CLONE_THREAD, CLONE_THREAD));
    failed |= seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0);
    if (failed == 0) {
        failed = seccomp_load(filter);
    }
    seccomp_release(filter);
    if (failed != 0) {
        throw Error(errnum::InvalidProcedureCall, "the decoder's system-call filter failed (" +
                                                      std::string(std::strerror(-failed)) + ")");
    }
}

}  // namespace tavrino
