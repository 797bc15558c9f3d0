#ifndef STANDARDSTREAMS_H
#define STANDARDSTREAMS_H

// Opens /dev/null, for reading, on each of the standard descriptors 0, 1
// and 2 that was closed when the program started. Called first thing in main: otherwise
// the next file the program opens, such as a module's serial port, would
// take that number, and text meant for a standard stream would go into it.
void openClosedStandardStreams();

#endif // STANDARDSTREAMS_H
