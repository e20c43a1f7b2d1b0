// The exported descriptor as the host reads it right after loading.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "plugin/host_api.h"

TEST(ModuleDescriptor, HoldsTheHostValuesAndOneServer) {
    void* library = dlopen(POLYIN_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto* d = static_cast<const PluginDescriptor*>(dlsym(library, "_mod_descrip"));
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->syncMagic, 0x04121994u);
    EXPECT_EQ(d->interfaceVersion, 3u);
    EXPECT_EQ(d->machineWord, 0x300u);
    ASSERT_NE(d->moduleStartup, nullptr);
    ASSERT_NE(d->moduleShutdown, nullptr);
    void* token = d->moduleStartup();
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(token), 4u);
    const ServerEntry* servers = d->serverList;
    ASSERT_NE(servers, nullptr);
    EXPECT_STREQ(servers[0].serverClass, "CommandSequence");
    EXPECT_STREQ(servers[0].serverName, "kelto_outlines");
    EXPECT_NE(servers[0].activationEntry, nullptr);
    EXPECT_EQ(servers[0].serverExtras, nullptr);
    EXPECT_EQ(servers[1].serverClass, nullptr);
    EXPECT_EQ(servers[1].serverName, nullptr);
    EXPECT_EQ(servers[1].activationEntry, nullptr);
    EXPECT_EQ(servers[1].serverExtras, nullptr);
    d->moduleShutdown(token);
    EXPECT_EQ(dlclose(library), 0);
}
