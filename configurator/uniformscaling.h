#ifndef UNIFORMSCALING_H
#define UNIFORMSCALING_H

// Scales every window by the display's scale factor as it stands, 125 % and
// 150 % included, so that the forms' pixel geometry grows with their fonts.
// Must run before the application object is made.
void useUniformScaling();

#endif // UNIFORMSCALING_H
