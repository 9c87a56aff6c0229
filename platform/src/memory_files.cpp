#include "platform/memory_files.h"

#include <atomic>
#include <stdexcept>

namespace platform {

namespace {

std::atomic<MemoryFiles*> g_installed{nullptr};

}  // namespace

MemoryFiles::MemoryFiles() {
    MemoryFiles* none = nullptr;
    if (!g_installed.compare_exchange_strong(none, this))
        throw std::logic_error("MemoryFiles: one is installed already");
}

MemoryFiles::~MemoryFiles() { g_installed.store(nullptr); }

void MemoryFiles::Put(const std::string& path, std::string_view bytes) { files_[path].assign(bytes); }

void MemoryFiles::Remove(const std::string& path) { files_.erase(path); }

const std::string* MemoryFiles::Find(const std::string& path) {
    const MemoryFiles* installed = g_installed.load(std::memory_order_acquire);
    if (installed == nullptr) return nullptr;
    auto it = installed->files_.find(path);
    return it == installed->files_.end() ? nullptr : &it->second;
}

}  // namespace platform
