#include "platform/module.h"

#include <cerrno>
#include <dlfcn.h>
#include <sys/stat.h>
#include <utility>

namespace platform {

Module::~Module() {
    if (handle_ != nullptr) ::dlclose(handle_);
}

Module::Module(Module&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Module& Module::operator=(Module&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) ::dlclose(handle_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

Module Module::Load(const std::string& name, int& error, std::string& message) {
    error = 0;
    message.clear();
    if (name.empty()) {
        // dlopen("") would hand back the program itself, not a library.
        error = ENOENT;
        message = "empty library name";
        return Module();
    }
    ::dlerror();
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle != nullptr) return Module(handle);
    const char* text = ::dlerror();
    message = text != nullptr ? text : "unknown loader error";
    // The loader gives no error number; a path that does not exist, or a bare name that the
    // search path does not find, is reported as "not found", anything else (wrong format,
    // missing dependency) as "not executable".
    struct stat st {};
    const bool isPath = name.find('/') != std::string::npos;
    if (isPath ? ::stat(name.c_str(), &st) != 0
               : message == name + ": cannot open shared object file: No such file or directory") {
        error = ENOENT;
    } else {
        error = ENOEXEC;
    }
    return Module();
}

void* Module::Symbol(const char* name) const {
    if (handle_ == nullptr) return nullptr;
    return ::dlsym(handle_, name);
}

}  // namespace platform
