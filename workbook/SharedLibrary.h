// A shared library opened by its soname when a feature first needs it, not
// when the program starts: the command-line tool is started once per file,
// and loading the zip and crypto libraries that an .xls file never uses cost
// as much as the rest of its start-up.
//
// A user keeps one table per library, built once in a function-local static:
//
//     struct TZipFunctions {
//         TSharedLibrary Library{TB_LIBZIP_SONAME, "the zip library"};
//         decltype(&zip_discard) Discard = Library["zip_discard"];
//     };
//
// The library's header still declares the functions, so each pointer has
// the header's exact type; only the program's link to the library goes.
#pragma once

#include <string>

namespace workbook {

class TSharedLibrary {
public:
    // One resolved symbol; converts to whichever function pointer it is stored in.
    class TSymbol {
    public:
        explicit TSymbol(void* address) : FAddress(address) {}
        template <typename F>
        operator F*() const
        {
            return reinterpret_cast<F*>(FAddress);
        }

    private:
        void* FAddress;
    };

    // Opens the library; `what` names it for the user ("the zip library").
    // Throws EXLSError naming the library and the loader's reason.
    TSharedLibrary(const char* soname, const char* what);
    TSharedLibrary(const TSharedLibrary&) = delete;
    TSharedLibrary& operator=(const TSharedLibrary&) = delete;
    ~TSharedLibrary();

    // The function of this name; throws EXLSError when the library has none.
    TSymbol operator[](const char* name) const;

private:
    std::string Failure(const std::string& what) const;

    std::string FSoname, FWhat;
    void* FHandle = nullptr;
};

// The function table T (see above), loaded once by the first caller of any
// thread; when loading throws, the next caller tries again.
template <class T> const T& LoadedOnce()
{
    static const T functions;
    return functions;
}

}  // namespace workbook
