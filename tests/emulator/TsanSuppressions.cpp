// Linked into the tests of a thread-sanitised build only. The test library's
// watchdog thread waits and wakes through Qt's uninstrumented locks, so its
// teardown looks like a race that is none.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:libQt6Test.so\n";
}
