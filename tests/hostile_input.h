// Builders of hostile inputs shared by the reader and the module tests: long repetitions,
// temporary files and a FIFO whose writer stays open.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace hostile {

// Where temporary files go: $TMPDIR when set, else /tmp; with a trailing "/".
inline std::string temporaryDirectory() {
    const char* dir = std::getenv("TMPDIR");
    std::string path = dir != nullptr && dir[0] != '\0' ? dir : "/tmp";
    return path.back() == '/' ? path : path + "/";
}

inline std::string repeat(const std::string& piece, std::size_t times) {
    std::string text;
    text.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) text += piece;
    return text;
}

// A file in the temporary directory, removed with the object; an empty name when it failed.
class TempFile {
public:
    explicit TempFile(const std::string& content) {
        std::string pattern = temporaryDirectory() + "polyin_hostile_XXXXXX";
        int fd = mkstemp(&pattern[0]);
        if (fd < 0) return;
        if (write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size()))
            name_ = pattern;
        close(fd);
        if (name_.empty()) unlink(pattern.c_str());
    }
    ~TempFile() { if (!name_.empty()) unlink(name_.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& name() const { return name_; }
private:
    std::string name_;
};

// A FIFO holding `content` with a writer that never closes it, as a stalled producer would;
// the FIFO is removed with the object. An empty name or a negative writer when it failed.
class StalledFifo {
public:
    explicit StalledFifo(const std::string& content) {
        std::string pattern = temporaryDirectory() + "polyin_hostile_fifo_XXXXXX";
        int temp = mkstemp(&pattern[0]);
        if (temp < 0) return;
        close(temp);
        unlink(pattern.c_str());
        if (mkfifo(pattern.c_str(), 0600) != 0) return;
        name_ = pattern;
        writer_ = open(pattern.c_str(), O_RDWR | O_NONBLOCK);
        if (writer_ >= 0 && write(writer_, content.data(), content.size()) < 0) closeWriter();
    }
    ~StalledFifo() {
        closeWriter();
        if (!name_.empty()) unlink(name_.c_str());
    }
    StalledFifo(const StalledFifo&) = delete;
    StalledFifo& operator=(const StalledFifo&) = delete;
    const std::string& name() const { return name_; }
    bool isReady() const { return !name_.empty() && writer_ >= 0; }
    // Lets a read that waits for more end.
    void closeWriter() {
        if (writer_ >= 0) close(writer_);
        writer_ = -1;
    }
private:
    std::string name_;
    int writer_ = -1;
};

}  // namespace hostile
