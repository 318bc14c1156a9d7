#pragma once

#include <stdexcept>
#include <string>

// What a script can branch on; the man page documents the same numbers.
enum class TExitStatus {
    Success = 0,      // diff: no differences
    LoggerFault = 1,  // the logger answered wrongly or not at all, or verify found a difference; diff: differences
    BadInput = 2,     // an unusable file, a failed check, a bad option
    NoLogger = 3,     // no logger found
};

// Ends a command with its status; the message goes to stderr as it is.
class ECtlError : public std::runtime_error
{
public:
    ECtlError(TExitStatus Status, const std::string &Message)
        : std::runtime_error(Message), FStatus(Status)
    {
    }
    TExitStatus Status() const { return FStatus; }

private:
    TExitStatus FStatus;
};
