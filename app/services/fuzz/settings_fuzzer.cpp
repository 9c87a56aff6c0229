// Feeds arbitrary bytes to the settings readers: the INI reader (language list, EDS identity)
// and the XML settings files read by CGlobal, and the language resource manager.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/ini_file.h"
#include "services/control_ini.h"
#include "services/global.h"
#include "resources/resource_manager.h"

namespace {

const std::string& ScratchDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/settings_fuzz_XXXXXX";
        std::string d = ::mkdtemp(tmpl);
        std::filesystem::create_directories(d + "/language");
        return d + "/";
    }();
    return dir;
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::string& dir = ScratchDir();

    platform::IniFile ini;
    ini.Parse(bytes);
    (void)ini.Find("LANGUAGES", "Count");
    ini.Set("LAST", "Sel", "1");
    (void)ini.Serialize();

    // The same bytes as every settings file: Norvane.xml, config.xml, language/config.ini and
    // a language resource file.
    WriteFile(dir + "Norvane.xml", bytes);
    WriteFile(dir + "config.xml", bytes);
    WriteFile(dir + "language/config.ini", bytes);
    WriteFile(dir + "language/fuzz.xml", bytes);
    (void)ReadEdsIdentity(dir + "language/config.ini");
    {
        CGlobal global(dir);
        for (int32_t i = -1; i < 3; ++i) global.SelectLanguage(i);
        (void)global.GetBaudName(0);
        (void)global.LoadText(10001);
    }
    CXTPResourceManagerXMLEx manager(dir + "language/fuzz.xml");
    std::string text;
    manager.LoadString(text, 10001);
    ResetResourceManager();
    return 0;
}
