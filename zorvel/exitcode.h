#ifndef EXITCODE_H
#define EXITCODE_H

// The program's exit status. With several ports the worst, the highest, wins.
enum ExitCode {
    ExitSuccess = 0,
    ExitDifferent = 1,
    ExitUsage = 2,
    ExitNoModule = 3,
    ExitVerifyFailed = 4,
    // The host link did not answer as the module's settings say it should.
    ExitHostLink = 5,
    // Standard output could not be written, but modules were: standard
    // error says what was written to which.
    ExitOutputFailed = 6,
    // A command interrupted by a signal: this plus the signal's number, as
    // a shell reports a program that the signal ended.
    ExitInterrupted = 128
};

#endif // EXITCODE_H
