#pragma once

#include <stdexcept>
#include <string>

// How a piece of the station's work ended, in the categories that loggerctl's
// exit statuses give a script to branch on (the man page documents the same
// numbers) and that the window turns into its messages.
enum class TExitStatus {
    Success = 0,      // diff: no differences
    LoggerFault = 1,  // the logger answered wrongly or not at all, or verify found a difference; diff: differences
    BadInput = 2,     // an unusable file, a failed check, a bad option
    NoLogger = 3,     // no logger found
};

// Ends the work with its status and a message for the user, said as it is.
class EStationError : public std::runtime_error
{
public:
    EStationError(TExitStatus Status, const std::string &Message)
        : std::runtime_error(Message), FStatus(Status)
    {
    }
    TExitStatus Status() const { return FStatus; }

private:
    TExitStatus FStatus;
};
