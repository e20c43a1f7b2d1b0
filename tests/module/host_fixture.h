// Shared set-up for tests that run the real module under the stand-in host.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "host/stand_in_host.h"

namespace testing_host {

// A private directory for fixture files, removed with everything in it.
class TempDir {
public:
    TempDir() {
        std::string pattern = ::testing::TempDir() + "polyin_test_XXXXXX";
        const char* made = mkdtemp(&pattern[0]);
        if (made == nullptr) ADD_FAILURE() << "cannot create " << pattern;
        path = made ? made : "";
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    // Writes a file under the directory (name may hold subdirectories) and returns its path.
    std::string write(const std::string& name, const std::string& text) const {
        if (path.empty()) return name;  // no directory: nothing is written outside one
        std::string full = path + "/" + name;
        for (std::size_t at = full.find('/', path.size() + 1); at != std::string::npos;
             at = full.find('/', at + 1))
            mkdir(full.substr(0, at).c_str(), 0700);
        std::FILE* file = std::fopen(full.c_str(), "wb");
        if (file == nullptr) return full;
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        return full;
    }
    std::string path;
};

// The whole text of a file; empty when it cannot be read.
inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::unique_ptr<standin::LoadedModule> loadModule() {
    std::string error;
    std::unique_ptr<standin::LoadedModule> module =
        standin::LoadedModule::load(POLYIN_MODULE_PATH, error);
    EXPECT_NE(module, nullptr) << error;
    return module;
}

// An SVG document around the given body, whose single quotes become the double quotes the
// markup needs (so that fixtures read easily in C++ literals).
inline std::string svg(std::string body) {
    for (char& c : body)
        if (c == '\'') c = '"';
    return "<svg xmlns=\"http://www.w3.org/2000/svg\">" + body + "</svg>";
}

inline std::vector<std::string> callsStartingWith(const standin::StandInHost& host,
                                                  const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& call : host.calls)
        if (call.compare(0, prefix.size(), prefix) == 0) found.push_back(call);
    return found;
}

// A fresh module per test, so that the remembered slider value starts at 10.
class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        module = loadModule();
        ASSERT_NE(module, nullptr);
    }
    // Runs the command on a file holding the given document.
    std::int32_t import(standin::StandInHost& host, const std::string& document,
                        const std::string& name = "drawing.svg") {
        host.script.file.fullName = files.write(name, document);
        return host.run(*module);
    }
    TempDir files;
    std::unique_ptr<standin::LoadedModule> module;
};

}  // namespace testing_host
