// Linked into every test of a thread-sanitised build. Qt's libraries are not
// built for the race detector: their locks, semaphores and thread pools (which
// painting uses) are invisible to it, so the memory they hand between threads
// looks raced. The detector is told to judge only instrumented code, which is
// all of this project's. The tests that start loggerctl fork while the
// emulators' threads run; the child does nothing but exec the program, so
// the detector must let it live.
extern "C" const char *__tsan_default_options()
{
    return "ignore_noninstrumented_modules=1 die_after_fork=0";
}
