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
        {"<a>b<c><d>\n<e>", {"start a []", "text b", "start c []", "start d []", "start e []"}},
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

TEST(TokenizeMarkup, EventsDoNotDependOnWhereTagBytesFall) {
    // Each tag is read with 0 to 40 spaces after its name and with its first value 0 to 40
    // bytes longer, so every scan starts and stops at every place of the 16-byte blocks and
    // near the tag's end.
    const struct { const char* rest; const char* attributes; bool closes; } cases[] = {
        {"a=\"1\" bb=\"22\"/", "a=1@ bb=22", true},
        {"a=\"1\"\tbb = \"2\"\n\v\f\r/", "a=1@ bb=2", true},
        {"a=\"1\" b='2' c=\"3\"/", "a=1@ b=3", true},
        {"a=\"1\" b='2'/", "a=1@ b=<null>", false},
        {"a=\"1\" b=\"unclosed /", "a=1@ b=unclosed /", false},
        {"a=\"1\"b=\"2\"c", "a=1@ b=2 c=<null>", false},
        {"a=\"1\" \xA0z=\"2\" /", "a=1@ \xA0z=2", true},
        {"a=\"1\" =\"2\" x", "a=1@ =2 x=<null>", false},
        {"a=\"1\"", "a=1@", false},
        {"a=\"1\" b\"c=\"2\" d=\"\"/", "a=1@ b\"c=2 d=", true},  // a quote inside a name
        {"a\"=\"1\"x\" /", "a\"=1@ x\"=<null>", false},
    };
    for (const auto& c : cases) {
        for (std::size_t pad = 0; pad <= 40; ++pad) {
            for (std::size_t grow = 0; grow <= 40; ++grow) {
                std::string rest = c.rest;
                rest.insert(rest.find('1'), grow, 'v');
                std::string list = c.attributes;
                list.replace(list.find("1@"), 2, std::string(grow, 'v') + "1");
                Events expected = {"start e [" + list + "]"};
                if (c.closes) expected.push_back("end e");
                const std::string markup = "<e " + std::string(pad, ' ') + rest + ">";
                EXPECT_EQ(tokenize(markup), expected) << '"' << markup << '"';
            }
        }
    }
}

TEST(TokenizeMarkup, LongNamesEndAtTheirBlankInAnyBlock) {
    // Names of 1 to 48 bytes: the name scan ends in the first block, in a later one, or within
    // the tag's last 16 bytes, with the blank after the name found there or the tag ending first.
    for (std::size_t length = 1; length <= 48; ++length) {
        const std::string name(length, 'n');
        const struct { std::string markup; Events expected; } cases[] = {
            {"<" + name + ">", {"start " + name + " []"}},
            {"</" + name + ">", {"end " + name}},
            {"<" + name + " />", {"start " + name + " []", "end " + name}},
            {"<" + name + "\ta=\"1\"/>", {"start " + name + " [a=1]", "end " + name}},
            {"<" + name + "/>", {"start " + name + "/ []"}},
        };
        for (const auto& c : cases) EXPECT_EQ(tokenize(c.markup), c.expected) << '"' << c.markup << '"';
    }
}

TEST(TokenizeMarkup, EachBlankEndsANameInAnyBlock) {
    // The block scans find the five control blanks as one range of byte values: each of them,
    // and the space, ends an element or attribute name of any length, wherever it falls in the
    // 16-byte blocks, and the bytes just outside the range stay part of the name.
    const std::string blanks[] = {" ", "\t", "\n", "\v", "\f", "\r"};
    const std::string others[] = {"\x08", "\x0E", "\x1F", "\x7F", "\x80", "\x85", "\x89"};
    for (std::size_t length = 1; length <= 40; ++length) {
        const std::string name(length, 'n');
        for (const std::string& blank : blanks) {
            const struct { std::string markup; Events expected; } cases[] = {
                {"<" + name + blank + "a=\"1\"/>", {"start " + name + " [a=1]", "end " + name}},
                {"<e " + name + blank + "=\"1\"/>", {"start e [" + name + "=1]", "end e"}},
                {"<e a=\"1\"" + blank + name + "=\"2\"/>", {"start e [a=1 " + name + "=2]", "end e"}},
            };
            for (const auto& c : cases) {
                EXPECT_EQ(tokenize(c.markup), c.expected) << '"' << c.markup << '"';
            }
        }
        for (const std::string& other : others) {
            const std::string joined = name + other + "m";
            const struct { std::string markup; Events expected; } cases[] = {
                {"<" + joined + " a=\"1\"/>", {"start " + joined + " [a=1]", "end " + joined}},
                {"<e " + joined + "=\"1\"/>", {"start e [" + joined + "=1]", "end e"}},
            };
            for (const auto& c : cases) {
                EXPECT_EQ(tokenize(c.markup), c.expected) << '"' << c.markup << '"';
            }
        }
    }
}
