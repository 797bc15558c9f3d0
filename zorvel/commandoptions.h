#ifndef COMMANDOPTIONS_H
#define COMMANDOPTIONS_H

#include <QString>

// The options of a command as the command line gives them.
struct CommandOptions {
    // --all: every service port; --all-ports: every serial port, for list.
    bool allServicePorts = false;
    bool allSerialPorts = false;
    bool json = false;
    QString outputFile;
    bool dryRun = false;
    bool verify = false;
    bool yes = false;
    int timeoutMs = 1000;
    // The computer's end of the host link, for check-host.
    QString hostPort;
};

#endif // COMMANDOPTIONS_H
