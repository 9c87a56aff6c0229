// Feeds arbitrary bytes to the settings readers: the INI reader (language list, EDS identity)
// and the XML settings files read by CGlobal, which also installs the language resource file
// that the language list names (the language file reader has a fuzzer of its own).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ini_file.h"
#include "platform/memory_files.h"
#include "services/control_ini.h"
#include "services/global.h"
#include "resources/resource_manager.h"

namespace {

// CGlobal and the INI readers take paths: the files of each input are held in memory under the
// paths of a program folder that does not exist on disk, so nothing is written or read back.
const std::string kDir = "/nonexistent/norvane-settings-fuzz/";

platform::MemoryFiles& Files() {
    static platform::MemoryFiles files;
    return files;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The first byte picks the readers, so that each input goes through half of them: odd bytes
    // ('[' and ';' among them) the INI readers, even ones ('<' among them) the program folder
    // read by CGlobal. The whole input, first byte included, is the file content.
    if (data[0] % 2 == 1) {
        platform::IniFile ini;
        ini.Parse(bytes);
        (void)ini.Find("LANGUAGES", "Count");
        ini.Set("LAST", "Sel", "1");
        (void)ini.Serialize();
        Files().Put(kDir + "identity.ini", bytes);
        (void)ReadEdsIdentity(kDir + "identity.ini");
        return 0;
    }

    // The same bytes as every settings file: Norvane.xml, config.xml, language/config.ini and
    // a language resource file.
    for (const char* name : {"Norvane.xml", "config.xml", "language/config.ini", "language/fuzz.xml"}) {
        Files().Put(kDir + name, bytes);
    }
    {
        CGlobal global(kDir);
        for (int32_t i = -1; i < 3; ++i) global.SelectLanguage(i);
        (void)global.GetBaudName(0);
        (void)global.LoadText(10001);
    }
    ResetResourceManager();
    return 0;
}
