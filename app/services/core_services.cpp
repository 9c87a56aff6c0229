// The network model's application services: CGlobal unless a stand-in is installed.
#include "services/core_services.h"

#include <atomic>

#include "platform/text_encoding.h"
#include "services/global.h"

namespace netsvc {

namespace {

std::atomic<ICoreServices*> installed{nullptr};

}  // namespace

ICoreServices& Services() {
    ICoreServices* services = installed.load(std::memory_order_acquire);
    return services != nullptr ? *services : GetGlobal();
}

void SetServices(ICoreServices* services) { installed.store(services, std::memory_order_release); }

ScopedServices::ScopedServices(ICoreServices& services)
    : previous_(installed.exchange(&services, std::memory_order_acq_rel)) {}

ScopedServices::~ScopedServices() { installed.store(previous_, std::memory_order_release); }

void ReportApiError(uint32_t code, std::string_view context) { Services().ReportMasterApiError(code, context); }

std::string StatusText(uint32_t code) { return Services().StatusTextOf(code); }

std::string BaudName(uint32_t index) { return Services().BaudNameOf(index); }

std::string DeviceTypeName(uint32_t type) { return Services().DeviceTypeNameOf(type); }

uint32_t ChannelCount(uint32_t type) { return Services().ChannelCountOf(type); }

std::string EdsPath(const std::string& name) { return Services().EdsPathOf(name); }

void ShowMessage(std::string_view text) { Services().ShowModelMessage(text); }

void Log(LogLevel level, std::string_view text) { Services().LogModelLine(level, text); }

std::string FileTextToUtf8(std::string_view bytes) { return platform::ToUtf8(bytes); }

std::string Utf8ToGb18030(std::string_view text) { return platform::Utf8ToGb18030(text); }

}  // namespace netsvc
