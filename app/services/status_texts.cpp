#include "services/status_texts.h"

namespace name_share {

CodeTextMap BuildStatusTexts() {
    return {
        {0, "从站在线"},  // slave on line (status code 0 means no error)
        {2, " 资源不可用 "},  // resource unavailable
        {4, " 路径段错误 "},  // path segment error
        {8, " 服务没有打开或者已经关闭 "},  // service not open or already closed
        {9, " 无效的属性值 "},  // invalid attribute value
        {11, "对象已处于服务请求的模式/状态 "},  // object already in the mode or state that the service requests
        {12, " 对象在当前模式/状态下不能执行请求的服务 "},  // object cannot perform the service in its current mode or state
        {14, " 属性不可设 "},  // attribute cannot be set
        {16, " 设备当前模式/状态禁止执行请求的服务 "},  // the device's current mode or state forbids the service
        {17, " 应答数据太大 "},  // reply data too large
        {19, " 服务没有提供执行指定操作所需的足够数据 "},  // the service did not supply enough data for the operation
        {20, "不支持的属性"},  // attribute not supported
        {21, " 数据太多 "},  // too much data
        {22, " 对象不存在 "},  // object does not exist
        {32, " 参数无效 "},  // invalid parameter
        {40, " 无效的成员ID "},  // invalid member ID
        {41, " 装载DLL失败 "},  // loading the device library failed
        {42, " 获取函数地址失败 "},  // resolving a function address failed
        {43, " 设备已经被打开 "},  // device already open
        {44, " 设备不存在 "},  // device does not exist
        {45, " 初始化设备失败 "},  // device initialisation failed
        {46, " 设备没有打开 "},  // device not open
        {47, " 无效参数 "},  // invalid argument
        {48, " 无效的设备句柄 "},  // invalid device handle
        {49, " 无法关闭设备 "},  // device cannot be closed
        {50, " 驱动安装不正确 "},  // driver not installed correctly
        {52, " 用户指定的存储空间太小 "},  // buffer given by the caller too small
        {54, " 通道已被打开 "},  // channel already open
        {55, " 通道未打开 "},  // channel not open
        {56, " 内存不足 "},  // out of memory
        {57, " 其它未定义的内部错误 "},  // other, undefined internal error
        {59, "等待超时 "},  // wait timed out
        {60, " 从站已存在 "},  // slave already exists
        {61, " 从站不存在 "},  // slave does not exist
        {62, " 发送数据失败 "},  // sending data failed
        {63, " 没有数据 "},  // no data
        {64, " 该接口未实现（为以后板卡预留） "},  // function not implemented (reserved for later cards)
        {65, "自动扫描有效 "},  // automatic scan active
        {66, " 主站没有上线 "},  // master not on line
        {67, " 连接不存在 "},  // connection does not exist
        {70, "重复MAC ID检测失败 "},  // duplicate MAC ID check failed
        {71, " 扫描列表中包含错误 "},  // scan list contains errors
        {72, " 设备停止通信 "},  // device stopped communicating
        {73, " 错误的设备类型 "},  // wrong device type
        {74, " 端口超出 "},  // port overrun
        {75, " 网络通信失败 "},  // network communication failed
        {76, " 网络无数据，并且超时 "},  // no network traffic, timed out
        {77, " 数据长度不匹配 "},  // data length mismatch
        {78, " 设备在扫描列表中，但没有应答 "},  // device in the scan list does not answer
        {79, " 数据传输失败 "},  // data transfer failed
        {80, " 设备处于空闲模式 "},  // device in idle mode
        {81, " 处于错误模式 "},  // in fault mode
        {82, " 分段报文顺序错误 "},  // fragmented message out of sequence
        {83, "设备初始化失败 "},  // device initialisation failed
        {84, " 设备尚未初始化 "},  // device not yet initialised
        {86, " 设备自行进入空闲状态 "},  // device went idle by itself
        {87, " 共享的主站没有从站 "},  // shared master has no slaves
        {88, " 共享主站选择错误 "},  // shared master chosen wrongly
        {89, " 保留 "},  // reserved
        {90, " 用户禁止CAN接口 "},  // CAN port disabled by the user
        {91, " CAN接口BUS-OFF "},  // CAN port bus-off
        {92, " CAN传输无电源 "},  // no power on the CAN transceiver
        {93, " 检测到一个或者多个配置功能块CRC错误 "},  // CRC error in one or more configuration blocks
        {95, " FLASH正在更新 "},  // flash memory being updated
        {96, "接口测试模式 "},  // interface test mode
        {97, " 用户命令停止扫描器 "},  // scanner stopped by user command
        {98, "固件错误 "},  // firmware error
        {99, " 系统错误看门狗超时 "},  // system error, watchdog time-out
        {100, " 主站卡内部错误 "},  // master card internal error
    };
}

CodeTextMap BuildExplicitStatusTexts() {
    return {
        {1, " DeviceNet预留，用于扩展 "},  // reserved by DeviceNet for extension
        {2, " 资源不可用 "},  // resource unavailable
        {4, " 路径段错误 "},  // path segment error
        {8, " 不支持服务 "},  // service not supported
        {9, " 无效属性值 "},  // invalid attribute value
        {11, " 已经处于请求的模式/状态 "},  // already in the requested mode or state
        {12, " 对象状态冲突 "},  // object state conflict
        {14, " 属性不可设置 "},  // attribute cannot be set
        {16, " 设备状态冲突 "},  // device state conflict
        {17, " 应答数据太大"},  // reply data too large
        {19, " 无足够数据 "},  // not enough data
        {20, " 不支持的属性 "},  // attribute not supported
        {21, " 数据太多 "},  // too much data
        {22, " 对象不存在"},  // object does not exist
        {32, " 无效参数 "},  // invalid parameter
        {37, " DeviceNet预留，用于扩展 "},  // reserved by DeviceNet for extension
        {38, " DeviceNet预留，用于扩展 "},  // reserved by DeviceNet for extension
        {40, " 无效成员ID"},  // invalid member ID
    };
}

}  // namespace name_share
