// Rules of the explicit message console: the CIP service table, request preparation, one send
// with the timed-sending retries and their reports, I/O read and write, the retry-count and
// period boxes. The master API and the report sink are passed in, so the rules run without a
// display and against a scripted master.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace monitor {

struct CipService {
    uint8_t code;
    const char* name;
};
inline constexpr std::size_t kServiceCount = 21;
const std::array<CipService, kServiceCount>& ServiceTable();

// Capacity of the request and reply buffers and of each hex editor.
inline constexpr std::size_t kConsoleBufferSize = 300;
inline constexpr int kMaxRetryCount = 100;

// The class list ("%X" of 1..99) and the instance list ("%d" of 1..99).
std::vector<std::string> ClassListTexts();
std::vector<std::string> InstanceListTexts();
// The connection-type list, index = type code.
std::vector<std::string> ConnectionTypeTexts();

// The slave list: "%d" of every address in the master's order, and the index of `target` (−1
// when it is not among them).
struct SlaveList {
    std::vector<std::string> texts;
    int selected = -1;
};
SlaveList BuildSlaveList(std::span<const int> addresses, int target);

struct ExplicitRequest {
    uint32_t service = 0;
    uint32_t classId = 0;
    uint32_t instanceId = 0;
    std::vector<uint8_t> data;  // at least one byte
};

// Builds a request from the controls' texts. On failure `message` holds the text to show
// ("请设定类ID", "请设定实例ID", or a text naming a value that is not a number).
struct PreparedRequest {
    std::optional<ExplicitRequest> request;
    std::string message;
};
PreparedRequest PrepareRequest(int serviceIndex, std::string_view classText, std::string_view instanceText,
                               std::span<const uint8_t> serviceData);

// Bytes to send for an editor's content: at most 300, an empty editor gives one zero byte.
std::vector<uint8_t> PayloadOf(std::span<const uint8_t> editorBytes);

// Where the console's reports go (CGlobal in the program, a recorder in tests).
class IConsoleReports {
public:
    virtual ~IConsoleReports() = default;
    virtual void ReportApiError(int32_t code, std::string_view context) = 0;
    virtual void ReportExplicitError(int32_t status, std::string_view context) = 0;
};

// The master-API calls of the console for one master handle.
struct ConsoleApi {
    // (mac, service, class, instance, request, reply buffer, in/out reply length, time-out)
    std::function<uint32_t(uint32_t, uint32_t, uint32_t, uint32_t, std::span<const uint8_t>, std::span<uint8_t>,
                           uint32_t&, uint32_t)>
        emRequest;
    std::function<uint32_t(uint32_t, uint32_t, std::span<uint8_t>, uint32_t&, uint32_t)> readIo;
    std::function<uint32_t(uint32_t, uint32_t, std::span<const uint8_t>, uint32_t)> writeIo;
    std::function<uint32_t(uint32_t)> slaveStatus;
};

// The VARDA_EMRequest context of a request.
std::string RequestContext(const ExplicitRequest& request);

// One send: with timed sending on, up to `retryCount` immediate retries after a failing call,
// each reported. On success `reply` holds the reply bytes; an error response 94 xx FF is reported
// as an explicit error and fails.
struct SendOutcome {
    bool ok = false;
    std::vector<uint8_t> reply;
};
SendOutcome SendRequest(const ConsoleApi& api, IConsoleReports& reports, uint32_t mac, const ExplicitRequest& request,
                        uint32_t timeoutMs, bool timed, int retryCount);

// Input sizes of the slave per connection type.
struct IoInputSizes {
    int strobe = 0;
    int poll = 0;
    int cosCyclic = 0;
};
int ReadLengthFor(int connectionType, const IoInputSizes& sizes);

// An I/O read: `message` set when the slave has no such connection (nothing is called).
struct IoReadOutcome {
    std::string message;
    std::vector<uint8_t> data;  // read-length bytes of the (cleared) buffer
    uint32_t length = 0;
};
IoReadOutcome ReadIo(const ConsoleApi& api, IConsoleReports& reports, uint32_t mac, int connectionType,
                     const IoInputSizes& sizes, uint32_t timeoutMs);

// An I/O write of the editor's bytes; `message` is "写入数据正确" on success.
struct IoWriteOutcome {
    bool ok = false;
    std::string message;
    uint32_t length = 0;
};
IoWriteOutcome WriteIo(const ConsoleApi& api, IConsoleReports& reports, uint32_t mac, int connectionType,
                       std::span<const uint8_t> editorBytes, uint32_t timeoutMs);

// The status line of the console: the status text of the code (status 0 reads "从站在线").
std::string StatusLine(uint32_t status, const std::function<std::string(int32_t)>& statusText);

// The retry-count box: a decimal 0..100 is accepted; otherwise `message` names the range and the
// last accepted value stays.
struct RetryInput {
    int value = 3;
    std::string message;
};
RetryInput CheckRetryCount(std::string_view text, int lastAccepted);

// The period box follows the rule of the data panes: PeriodFromText in monitor/data_pane_io.h.

}  // namespace monitor
