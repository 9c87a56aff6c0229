// The fixed texts the network model reports with: master-API failure contexts, network-file
// problems, slave status and parameter messages. Format texts take boost::format arguments in
// the order their comments give.
#pragma once

namespace model_text {

// ---- master-API failure contexts ----
inline constexpr const char* kOpenFailed = "VARDA_Open(类型=%d,地址=%d)--";  // type, index
inline constexpr const char* kCloseFailed = "VARDA_Close";
inline constexpr const char* kInitFailed = "VARDA_Init(类型=%d,地址=%d,通道索引=%d)--";  // type, index, channel
inline constexpr const char* kRemoveAllSlavesFailed = "VARDA_RemoveSlave 删除所有从站失败";
inline constexpr const char* kAddSlaveFailed = "VARDA_AddSlave 使从站%d上线失败";  // MAC ID
// prefix, class, instance, attribute
inline constexpr const char* kExplicitRequestFailed = "%s VARDA_EMRequest(类ID=0x%x,实例ID=%d,属性ID=%d)--\n";
inline constexpr const char* kDownloadPrefix = "下载参数";
inline constexpr const char* kUploadPrefix = "上传参数";

// ---- slave status and parameter messages ----
inline constexpr const char* kMasterNotStarted = "主站未启动";
inline constexpr const char* kParameterSetFailed = "参数设置出错";
inline constexpr const char* kParameterReadFailed = "读取参数设置出错";

// ---- network file problems ----
inline constexpr const char* kFileMissingElement = "网络配置文件第%d行: 缺少%s";  // line, element
// line, element, bytes read
inline constexpr const char* kFileBadHex = "网络配置文件第%d行: %s 的十六进制数据不完整或有误(读入%d字节)";
// line, element, attribute
inline constexpr const char* kFileBadAttribute = "网络配置文件第%d行: %s 缺少或无效的属性 %s";
inline constexpr const char* kFileCardUnreadable = "网络配置文件已损坏: 一个主站卡无法读入";
inline constexpr const char* kFileCardPartial = "网络配置文件已损坏: 只读入了一个主站卡的完整部分";
inline constexpr const char* kFileBadSlaveAddress = "网络配置文件第%d行: 从站地址%u无效，已忽略该从站";  // line, MAC
inline constexpr const char* kFileDuplicateSlave = "网络配置文件第%d行: 从站地址%d重复，已忽略该从站";  // line, MAC
// line, MAC
inline constexpr const char* kFileSlaveAtMasterAddress = "网络配置文件第%d行: 从站地址%d与主站地址相同，已忽略该从站";
inline constexpr const char* kFileSlaveWithoutEdsPath = "网络配置文件第%d行: 从站缺少EDSPath";  // line
inline constexpr const char* kFileSlaveWithoutName = "网络配置文件第%d行: 从站缺少名称";  // line
inline constexpr const char* kFileSubItemWithoutValue = "网络配置文件第%d行: SubItem 缺少 value";  // line
// line, bytes read
inline constexpr const char* kFileSubItemBadHex = "网络配置文件第%d行: SubItem 的十六进制数据不完整或有误(读入%d字节)";
inline constexpr const char* kFileDamaged = "网络配置文件已损坏(第%d行): %s";  // line, parser message
inline constexpr const char* kFileCannotOpen = "无法打开网络配置文件: ";  // followed by the path
inline constexpr const char* kFileNotNetwork = "不是网络配置文件, 当前网络未改变: ";  // followed by the path
inline constexpr const char* kFileEdsNotFound = "从站 %s 的EDS文件找不到: %s";  // slave name, path as written

}  // namespace model_text
