// Loaded with LD_PRELOAD into a worker under test: while the file named by
// VEXLO_TEST_REFUSE_FORK exists, fork() fails as the kernel fails it when
// no more processes may be made (EAGAIN), for the test of faults on the
// server's side.
#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <unistd.h>

extern "C" pid_t fork() {
    const char* flag = std::getenv("VEXLO_TEST_REFUSE_FORK");
    if (flag != nullptr && access(flag, F_OK) == 0) {
        errno = EAGAIN;
        return -1;
    }
    using Fork = pid_t (*)();
    static const auto real = reinterpret_cast<Fork>(dlsym(RTLD_NEXT, "fork"));
    return real();
}
