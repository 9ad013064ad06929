// What an uncaught exception does in Zibrak.exe: the process ends, as it would anyway. The
// library's default handler first prints the exception's demangled type to stderr, which a
// GUI program does not have, and brings a 46 KB demangler into the program for it.
#include <cstdlib>

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx
