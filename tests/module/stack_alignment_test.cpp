// The i386 module entered on a stack aligned to 4 bytes only, as older i386 hosts call their
// modules: the module's SSE code must still run and give the same scene.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host_fixture.h"

#if defined(__i386__)
namespace {

ActivationEntry misalignedTarget = nullptr;

struct CallFrame {
    std::int32_t version;
    ServiceLookup lookup;
    CommandContext* context;
    void* unused;
    ActivationEntry target;
};

// Calls misalignedTarget with the stack pointer 4 bytes off a 16-byte boundary at the call,
// where the newer convention keeps it on one.
std::int32_t misalignedCall(std::int32_t version, ServiceLookup lookup, CommandContext* context,
                            void* unused) noexcept {
    CallFrame frame = {version, lookup, context, unused, misalignedTarget};
    std::int32_t result;
    asm volatile(
        "mov %%esp, %%edi\n\t"
        "and $-16, %%esp\n\t"
        "sub $4, %%esp\n\t"
        "pushl 12(%1)\n\t"
        "pushl 8(%1)\n\t"
        "pushl 4(%1)\n\t"
        "pushl 0(%1)\n\t"
        "call *16(%1)\n\t"
        "mov %%edi, %%esp\n\t"
        : "=a"(result)
        : "S"(&frame)
        : "ecx", "edx", "edi", "memory", "cc");
    return result;
}

}  // namespace

using testing_host::ModuleTest;
using testing_host::svg;

TEST_F(ModuleTest, ImportsTheSameSceneOnAStackAlignedToFourBytes) {
    const char* bodies[] = {
        "<rect fill='#ff0000' width='5' height='5'/>",
        "<circle cx='3' cy='4' r='20'/>",
        "<path d='M0 0 C 10 40 50 -20 60 10 S 90 0 100 30 Q 120 60 140 0 T 180 10z'/>",
        "<g transform='matrix(1 0.5 -0.5 1 3 4) scale(2)'><polygon points='0 0 9 1 4 7'/></g>",
    };
    for (const char* body : bodies) {
        SCOPED_TRACE(body);
        const std::string file = files.write("drawing.svg", svg(body));
        standin::StandInHost aligned;
        aligned.script.file.fullName = file;
        ASSERT_EQ(aligned.run(*module), 0);
        ASSERT_FALSE(aligned.scene.polygons.empty());
        const std::string expected = standin::dumpScene(aligned.scene);
        misalignedTarget = module->activation();
        // A fault would end the whole suite, so the call runs in a child of its own.
        EXPECT_EXIT(
            {
                standin::StandInHost host;
                host.script.file.fullName = file;
                const bool same = host.run(misalignedCall) == 0 &&
                                  standin::dumpScene(host.scene) == expected;
                std::exit(same ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
}
#endif
