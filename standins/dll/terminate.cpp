// What an uncaught exception does in a stand-in DLL or self-extracting program: the process
// ends, as it would anyway. The library's default handler first prints the exception's
// demangled type to stderr, which nobody reads here, and brings a 46 KB demangler in for it.
// Linked as an object of each module, not from a library: the linker must meet this
// definition before it searches the C++ library for the default one.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
