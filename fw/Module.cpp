#include <windows.h>
// placeholder
int sonvera_placeholder() { return 0; }
