// The workload a release build's reader is tuned on: an instrumented copy of the reader parses
// the example drawings and small synthetic documents of every kind, and the real reader is then
// compiled with the branch and call counts this run leaves behind.
//
// usage: polyin_profile_training EXAMPLES_DIR
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "bench/documents.h"
#include "svg/parse_context.h"

namespace {

// Parses a private copy of text (the reader writes into its input) and frees the result.
bool parseCopy(const std::string& text, float tolerance) {
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    PathList list = parseSvgText(copy.data(), tolerance);
    bool produced = list != nullptr;
    freePathList(list);
    return produced;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: polyin_profile_training EXAMPLES_DIR\n");
        return 2;
    }
    // Every kind at a fraction of its benchmark size (colours: paths): every loop runs often
    // enough for its counts to tell hot from cold, in a fraction of a second.
    const std::size_t trainingSizes[] = {4u << 20, 1u << 20, 1u << 20, 2000};
    static_assert(std::size(trainingSizes) == std::size(documentRecipes), "one size per kind");
    int index = 0;
    for (const DocumentRecipe& recipe : documentRecipes) {
        std::string document = generateDocument(recipe.kind, trainingSizes[index++]);
        for (float tolerance : {0.1f, 0.001f}) {
            if (!parseCopy(document, tolerance)) {
                std::fprintf(stderr, "polyin_profile_training: %s gave no paths\n", recipe.name);
                return 1;
            }
        }
    }
    // The examples stand for drawings made by hand: their attribute, colour and transform forms
    // are more varied than the generator's.
    std::vector<std::string> examples = findSvgFiles(argv[1]);
    if (examples.empty()) {
        std::fprintf(stderr, "polyin_profile_training: no drawings in %s\n", argv[1]);
        return 1;
    }
    for (const std::string& name : examples) {
        std::string text;
        if (!readWholeFile(name, &text)) {
            std::fprintf(stderr, "polyin_profile_training: cannot read %s\n", name.c_str());
            return 1;
        }
        for (int round = 0; round < 20; ++round) parseCopy(text, 0.1f);
    }
    return 0;
}
