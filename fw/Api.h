// Export and import of the classes that Sonvera.dll offers its hosts.
#pragma once

#if defined(SONVERA_BUILD)
#define SONVERA_API __declspec(dllexport)
#elif defined(SONVERA_STATIC)
#define SONVERA_API
#else
#define SONVERA_API __declspec(dllimport)
#endif
