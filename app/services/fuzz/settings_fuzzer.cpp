// Feeds arbitrary bytes to the settings readers: the INI reader (language list, EDS identity)
// and the XML settings files read by CGlobal, which also installs the language resource file
// that the language list names (the language file reader has a fuzzer of its own).
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

// CGlobal reads its settings from a program folder by path: that folder lives on a memory file
// system (/dev/shm) when there is one, so each input is written and read back without disk work.
// It is removed when the fuzzer ends.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string tmpl = std::filesystem::is_directory("/dev/shm") ? "/dev/shm/settings_fuzz_XXXXXX"
                                                                     : "/tmp/settings_fuzz_XXXXXX";
        const char* made = ::mkdtemp(tmpl.data());
        if (made == nullptr) std::abort();
        dir_ = made;
        std::filesystem::create_directories(dir_ + "/language");
        dir_ += "/";
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return dir_; }

private:
    std::string dir_;
};

const std::string& ScratchDir() {
    static const ScratchFolder folder;
    return folder.Path();
}

void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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
        const std::string path = ScratchDir() + "identity.ini";
        WriteFile(path, bytes);
        (void)ReadEdsIdentity(path);
        return 0;
    }

    // The same bytes as every settings file: Norvane.xml, config.xml, language/config.ini and
    // a language resource file.
    const std::string& dir = ScratchDir();
    WriteFile(dir + "Norvane.xml", bytes);
    WriteFile(dir + "config.xml", bytes);
    WriteFile(dir + "language/config.ini", bytes);
    WriteFile(dir + "language/fuzz.xml", bytes);
    {
        CGlobal global(dir);
        for (int32_t i = -1; i < 3; ++i) global.SelectLanguage(i);
        (void)global.GetBaudName(0);
        (void)global.LoadText(10001);
    }
    ResetResourceManager();
    return 0;
}
