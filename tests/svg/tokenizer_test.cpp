#include "svg/tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every event as one line: "start name [a=1 b=<null>]", "end name", "text ...".
struct Recorder {
    std::vector<std::string> events;
};

void recordStart(void* userData, const char* name, AttrList attributes) {
    std::string line = std::string("start ") + name + " [";
    for (int i = 0; attributes[i] != nullptr; i += 2) {
        if (i > 0) line += ' ';
        line += attributes[i];
        line += '=';
        line += attributes[i + 1] != nullptr ? attributes[i + 1] : "<null>";
        if (attributes[i + 1] == nullptr) break;
    }
    static_cast<Recorder*>(userData)->events.push_back(line + "]");
}

void recordEnd(void* userData, const char* name) {
    static_cast<Recorder*>(userData)->events.push_back(std::string("end ") + name);
}

void recordText(void* userData, const char* text) {
    static_cast<Recorder*>(userData)->events.push_back(std::string("text ") + text);
}

std::vector<std::string> tokenize(std::string markup) {
    Recorder recorder;
    tokenizeMarkup(markup.data(), recordStart, recordEnd, recordText, &recorder);
    return recorder.events;
}

using Events = std::vector<std::string>;

}  // namespace

TEST(TokenizeMarkup, ReportsTheEventsOfEachForm) {
    const struct { const char* markup; Events expected; } cases[] = {
        {"<g>", {"start g []"}},
        {"</g>", {"end g"}},
        {"<g />", {"start g []", "end g"}},
        {"<g/>", {"start g/ []"}},
        {"<rect x=\"1\"/>", {"start rect [x=1]", "end rect"}},
        {"<rect x=\"1\" / >", {"start rect [x=1]", "end rect"}},
        {"<rect x='1' y=\"2\"/>", {"start rect [x=2]", "end rect"}},
        {"<rect x='1'/>", {"start rect [x=<null>]"}},
        {"< rect>", {"start rect []"}},
        {"</ rect>", {"end "}},
        {"<>", {}},
        {"</>", {}},
        {"< >", {}},
        {"<?xml version=\"1.0\"?>", {}},
        {"<!DOCTYPE svg>", {}},
        {"<!-- a > b --><x>", {"text b -->", "start x []"}},
        {"abc<x>", {"text abc", "start x []"}},
        {"<x>abc", {"start x []"}},
        {"<x", {}},
        {" \t\r\n <x>", {"start x []"}},
        {" a \n<x>", {"text a \n", "start x []"}},
        {"<p v=\"a&amp;b\">", {"start p [v=a&amp;b]"}},
        {"<r \xA0x=\"1\">", {"start r [\xA0x=1]"}},
        {"<path d=\"M 0 0\" title=\"a>b\"/><g>", {"start path [d=M 0 0 title=a]", "text b\"/>", "start g []"}},
        {"</g x=\"1\">", {"end g"}},
        {"<a b=\"1\"c=\"2\">", {"start a [b=1 c=2]"}},
        {"<a b = \"1\">", {"start a [b=1]"}},
        {"<a b=\"unclosed>", {"start a [b=unclosed]"}},
        {"<a\tb=\"1\"\n/>", {"start a [b=1]", "end a"}},
        {"x>y<a>", {"text x>y", "start a []"}},
        {"<a <b>", {"start a [<b=<null>]"}},
    };
    for (const auto& c : cases) EXPECT_EQ(tokenize(c.markup), c.expected) << '"' << c.markup << '"';
}

TEST(TokenizeMarkup, KeepsAtMost127AttributePairs) {
    auto tagWith = [](int count) {
        std::string tag = "<r";
        for (int i = 0; i < count; ++i) tag += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
        return tag + "/>";
    };
    Events all = tokenize(tagWith(127));
    ASSERT_EQ(all.size(), 2u);
    EXPECT_NE(all[0].find("a126=126]"), std::string::npos);
    EXPECT_EQ(all[1], "end r");

    Events cut = tokenize(tagWith(128));
    ASSERT_EQ(cut.size(), 1u) << "the closing / after the 128th pair is not seen";
    EXPECT_NE(cut[0].find("a126=126]"), std::string::npos);
    EXPECT_EQ(cut[0].find("a127"), std::string::npos);
}

TEST(TokenizeMarkup, CutsTheBufferInPlace) {
    char text[] = "<a b=\"c\">";
    tokenizeMarkup(text, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(std::string(text, sizeof text - 1), std::string("\0a\0b\0\"c\0\0", 9));
}

TEST(TokenizeMarkup, NullHandlersDropTheirEvents) {
    Recorder recorder;
    std::string markup = "t<a />u<b>";
    tokenizeMarkup(markup.data(), nullptr, recordEnd, nullptr, &recorder);
    EXPECT_EQ(recorder.events, Events{"end a"});
}
