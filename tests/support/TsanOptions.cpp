// Linked into every test of a thread-sanitised build. Qt's libraries are not
// built for the race detector: their locks, semaphores and thread pools (which
// painting uses) are invisible to it, so the memory they hand between threads
// looks raced. The detector is told to judge only instrumented code, which is
// all of this project's.
extern "C" const char *__tsan_default_options()
{
    return "ignore_noninstrumented_modules=1";
}
