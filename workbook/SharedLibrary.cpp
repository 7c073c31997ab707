// Opening a shared library on first use (see SharedLibrary.h).
#include "workbook/SharedLibrary.h"

#include "workbook/XLSError.h"

#include <dlfcn.h>

namespace workbook {

// RTLD_NODELETE keeps the code mapped after the handle is closed: the tables
// live in function-local statics, and an object destroyed after them at exit
// (a zip archive in another static, the crypto library's own exit handler)
// may still call into the library.
TSharedLibrary::TSharedLibrary(const char* soname, const char* what)
    : FSoname(soname), FWhat(what), FHandle(dlopen(soname, RTLD_LAZY | RTLD_LOCAL | RTLD_NODELETE))
{
    if (FHandle == nullptr) throw EXLSError(Failure("could not be loaded"));
}

TSharedLibrary::~TSharedLibrary() { dlclose(FHandle); }

TSharedLibrary::TSymbol TSharedLibrary::operator[](const char* name) const
{
    dlerror();  // clears an older failure, so that the reason given is this one's
    void* address = dlsym(FHandle, name);
    if (address == nullptr) throw EXLSError(Failure("has no function " + std::string(name)));
    return TSymbol(address);
}

std::string TSharedLibrary::Failure(const std::string& what) const
{
    const char* reason = dlerror();
    return "Cannot process this file: " + FWhat + " " + FSoname + " " + what +
           (reason != nullptr ? " (" + std::string(reason) + ")" : std::string());
}

}  // namespace workbook
