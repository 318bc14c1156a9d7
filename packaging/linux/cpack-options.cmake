# Read by cpack when it runs. CPackDeb puts the project-wide summary above
# every component's description, which would give the emulator the program's
# summary and each package two summary lines; without it the first line of a
# component's own description is its summary.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
