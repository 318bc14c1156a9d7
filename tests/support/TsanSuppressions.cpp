// Linked into every test of a thread-sanitised build. The test library's
// watchdog is a QThread that waits and wakes through Qt's own futex-based locks,
// which live in uninstrumented libraries; its teardown then looks like a race.
// Nothing of this project's code is suppressed.
extern "C" const char *__tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:libQt6Test.so\n";
}
