// Unloading libvarda.so: handles are freed and device libraries unloaded without calling them.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <string>

#include "recorder.h"
#include "test_support.h"
#include "testing/master_records.h"
#include "varda_api.h"
#include "varda_functions.h"

namespace {

// libvarda.so loaded by hand, with its functions.
struct Varda : VardaFunctions {
    void* handle = nullptr;

    bool Load() {
        handle = ::dlopen(VARDA_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return false;
        return Resolve([this](const char* name) { return ::dlsym(handle, name); });
    }
    int Unload() { return ::dlclose(std::exchange(handle, nullptr)); }
};

bool Loaded(const std::string& path) {
    void* h = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h == nullptr) return false;
    ::dlclose(h);
    return true;
}

TEST(VardaUnload, FreesHandlesAndUnloadsDeviceLibrariesWithoutCallingThem) {
    const VARDA_INIT_PARAM param = testkit::InitParam(1);
    const uint32_t type = vardatest::NewDeviceType();
    const std::string library = vardatest::InstallDevice("complete", type);
    const uint32_t otherType = vardatest::NewDeviceType();
    const std::string otherLibrary = vardatest::InstallDevice("noboardinfo", otherType);

    Varda varda;
    ASSERT_TRUE(varda.Load()) << ::dlerror();
    ASSERT_EQ(varda.Open(type, 0, 0), VARDA_OK);
    ASSERT_EQ(varda.Open(otherType, 0, 0), VARDA_OK);
    uint32_t handle = 0;
    ASSERT_EQ(varda.Init(type, 0, 0, &param, &handle), VARDA_OK);
    ASSERT_TRUE(Loaded(library));
    ASSERT_TRUE(Loaded(otherLibrary));
    const std::size_t calls = devrec::Calls(library).size();
    const std::size_t otherCalls = devrec::Calls(otherLibrary).size();

    ASSERT_EQ(varda.Unload(), 0);
    EXPECT_FALSE(Loaded(VARDA_LIBRARY)) << "libvarda.so stayed in memory";
    EXPECT_FALSE(Loaded(library));
    EXPECT_FALSE(Loaded(otherLibrary));
    // The devices were left open: no device function ran at unload.
    EXPECT_EQ(devrec::Calls(library).size(), calls);
    EXPECT_EQ(devrec::Calls(otherLibrary).size(), otherCalls);

    // Loaded again, the dispatcher starts empty: the old handle is unknown and the device
    // library is loaded afresh (its own table is new too, so the device opens again).
    ASSERT_TRUE(varda.Load());
    EXPECT_EQ(varda.Online(handle), VARDA_ERR_INVALID_HANDLE);
    EXPECT_EQ(varda.Open(type, 0, 0), VARDA_OK);
    EXPECT_EQ(devrec::LoadCount(library), 2);
    EXPECT_EQ(varda.Close(type, 0), VARDA_OK);
    EXPECT_EQ(varda.Unload(), 0);
}

}  // namespace
