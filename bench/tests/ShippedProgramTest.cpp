// Zibrak.exe as the build leaves it is the file that ships, so it must already be stripped:
// a symbol table in it is a megabyte of load for nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "bench/BenchProcess.h"
#include "tests/support/TestFiles.h"

namespace {

TEST(ShippedProgram, HasNoSymbolTable) {
    const std::string exe = testing_support::WindowsPathOf(testing_support::GetEnv("ZIBRAK_EXE"));
    ASSERT_FALSE(exe.empty()) << "ZIBRAK_EXE is not set";
    std::string image;
    ASSERT_TRUE(ReadWholeFile(exe, image)) << exe;
    ASSERT_GE(image.size(), sizeof(IMAGE_DOS_HEADER));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
    ASSERT_GE(image.size(), dos->e_lfanew + sizeof(IMAGE_NT_HEADERS32));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(image.data() + dos->e_lfanew);
    ASSERT_EQ(nt->Signature, IMAGE_NT_SIGNATURE);
    EXPECT_EQ(nt->FileHeader.PointerToSymbolTable, 0u);
    EXPECT_EQ(nt->FileHeader.NumberOfSymbols, 0u);
    // Neither a debug section: the sections' names are the linker's, "/4" and the like
    // for the long .debug_* names.
    const auto* section = IMAGE_FIRST_SECTION(nt);
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
        const std::string name(reinterpret_cast<const char*>(section->Name),
                               strnlen(reinterpret_cast<const char*>(section->Name), 8));
        EXPECT_NE(name.rfind(".debug", 0), 0u) << name;
        EXPECT_NE(name[0], '/') << name;
    }
}

}  // namespace
