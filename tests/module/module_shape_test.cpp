// The module as the host sees it: one exported symbol, no runtime beyond libc and libm, and
// really unloadable.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string runCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return output;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, got);
    pclose(pipe);
    return output;
}

std::set<std::string> lines(const std::string& text) {
    std::set<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) result.insert(line);
    return result;
}

}  // namespace

TEST(ModuleShape, ExportsOnlyTheDescriptor) {
    std::string symbols =
        runCommand("nm -D --defined-only '" POLYIN_MODULE_PATH "' | awk '{print $3}'");
    EXPECT_EQ(lines(symbols), std::set<std::string>{"_mod_descrip"}) << symbols;
}

TEST(ModuleShape, NeedsOnlyTheCLibraryAndLibm) {
    std::string needed = runCommand("readelf -d '" POLYIN_MODULE_PATH
                                    "' | sed -n 's/.*(NEEDED).*\\[\\(.*\\)\\]/\\1/p'");
    for (const std::string& library : lines(needed)) {
        bool allowed = library == "libc.so.6" || library == "libm.so.6" ||
                       library.rfind("ld-linux", 0) == 0;
        EXPECT_TRUE(allowed) << library;
    }
}

// On i386 the plain file calls fail on a file whose size or inode number needs 64 bits, and the
// import would arrive empty: the module must use the large-file forms.
TEST(ModuleShape, UsesLargeFileCalls) {
    if (sizeof(void*) != 4) GTEST_SKIP() << "every file call is a large-file call here";
    const std::set<std::string> imported = lines(runCommand(
        "nm -D --undefined-only '" POLYIN_MODULE_PATH "' | sed 's/.* //; s/@.*//'"));
    ASSERT_FALSE(imported.empty());
    for (const char* narrow : {"open", "openat", "fstat", "stat", "lstat", "fstatat", "lseek"})
        EXPECT_EQ(imported.count(narrow), 0u) << narrow;
}

TEST(ModuleShape, HasNoUniqueSymbolsAndIsNotNodelete) {
    std::string unique = runCommand("readelf --dyn-syms -W '" POLYIN_MODULE_PATH "' | grep -c UNIQUE");
    EXPECT_EQ(unique, "0\n");
    std::string flags = runCommand("readelf -d '" POLYIN_MODULE_PATH "' | grep -c NODELETE");
    EXPECT_EQ(flags, "0\n");
    std::string allUnique = runCommand("readelf -s -W '" POLYIN_MODULE_PATH "' | grep -c UNIQUE");
    EXPECT_EQ(allUnique, "0\n");
}

TEST(ModuleShape, UnloadsForReal) {
    void* module = dlopen(POLYIN_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    EXPECT_NE(dlsym(module, "_mod_descrip"), nullptr);
    ASSERT_EQ(dlclose(module), 0);
    EXPECT_EQ(dlopen(POLYIN_MODULE_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the module stayed mapped after dlclose";
    void* again = dlopen(POLYIN_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(again, nullptr) << dlerror();
    dlclose(again);
}
