// Linked into the tests of a thread-sanitised build only. The test library's
// watchdog is a QThread that waits and wakes through Qt's own futex-based locks,
// which live in uninstrumented libraries; its teardown then looks like a race.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:libQt6Test.so\n";
}
