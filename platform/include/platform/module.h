// A loaded shared library (dlopen/dlsym/dlclose), closed when the object goes away.
#pragma once

#include <string>

namespace platform {

class Module {
public:
    Module() = default;
    ~Module();
    Module(Module&& other) noexcept;
    Module& operator=(Module&& other) noexcept;
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // Loads the library by file name or path. On failure returns an empty Module and sets
    // `error` to a system error number (2 when the file does not exist) and `message` to the
    // loader's text.
    static Module Load(const std::string& name, int& error, std::string& message);

    // The address of an exported symbol, or nullptr.
    void* Symbol(const char* name) const;

    bool IsLoaded() const { return handle_ != nullptr; }

private:
    explicit Module(void* handle) : handle_(handle) {}
    void* handle_ = nullptr;
};

}  // namespace platform
