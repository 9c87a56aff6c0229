#include "test_home.h"

#include <unistd.h>

#include "child_process.h"

TestHome::TestHome(const std::string& tag) {
    static int counter = 0;
    root_ = std::filesystem::temp_directory_path() /
            ("norvane-" + tag + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(root_ / "home");
    for (const char* file : {"Norvane.xml", "config.xml"}) {
        std::error_code ec;
        std::filesystem::copy_file(std::filesystem::path(BinDir()) / file, root_ / "home" / file, ec);
    }
}

TestHome::~TestHome() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
}
