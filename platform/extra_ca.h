#pragma once
// PELLUMO_EXTRA_CA_FILE names a file of certificate authorities (PEM) that the program's own
// requests trust besides the system's, so that a stand-in of a server can be reached over https
// without turning any check off.

#include <curl/curl.h>

namespace platform {

inline constexpr const char* ExtraCaVariable = "PELLUMO_EXTRA_CA_FILE";

// Makes `handle` trust the file the variable names, if it names one, on top of the system's
// authorities. A file that cannot be read fails the handle's https transfers. Throws HttpError
// when libcurl refuses an option.
void trust_extra_ca(CURL* handle);

} // namespace platform
