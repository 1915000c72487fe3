#pragma once
// The log's texts that more than one step writes, in one place: English and Chinese as the
// user sees them. A line ending in "(End: " or "( Total: " is followed by a time and a closing
// parenthesis.

#include <QString>

namespace LogText {
inline QString operation_stopped() { return QStringLiteral("Operation is stop. / 操作被停止."); }
inline QString port_open_failed() { return QStringLiteral("Open COM port failure! / 打开串口失败!"); }
inline QString port_in_use() { return QStringLiteral("The COM port opened by another Program or no the COM port."); }
inline QString port_in_use_zh() { return QStringLiteral("Chinese:串口已被其它程序打开或该串口不存在。"); }
inline QString handshake_failed() { return QStringLiteral("Handshake is failed. / 握手失败 (End: "); }
inline QString erasing() { return QStringLiteral("We are erasing application flash..."); }
inline QString erasing_zh() { return QStringLiteral("正在擦除应用程序区..."); }
inline QString connecting() { return QStringLiteral("We are trying to connect to your MCU ... "); }
inline QString connecting_zh() { return QStringLiteral("Chinese:正在尝试与 MCU/单片机 握手连接 ... "); }
inline QString connection_ok() { return QStringLiteral("Connection is OK... / 握手成功..."); }
inline QString erase_failed() { return QStringLiteral("Erase application is failed. / 擦除失败 (End: "); }
inline QString program_ok() { return QStringLiteral("Program OK / 下载 OK "); }
inline QString verify_ok() { return QStringLiteral("Verify  OK / 校验 OK  ( Total: "); }
inline QString program_succeeded() { return QStringLiteral("Program succeed. / 下载成功."); }
inline QString reconnect_countdown() { return QStringLiteral("After a few seconds re-connect will continue.  "); }
inline QString reconnect_countdown_zh() { return QStringLiteral("Chinese:几秒钟后将继续下载下一个 MCU...  "); }
inline QString try_lower_baud() { return QStringLiteral("Try to use the lower baud. / 请尝试用稍低的波特率下载。"); }
inline QString wrong_model() { return QStringLiteral("MCU Type is wrong. / MCU 型号错, 请重选"); }
inline QString options_error() { return QStringLiteral("Config option are error!"); }
inline QString firmware_read_ok() { return QStringLiteral("Read MCU Firmware Version OK. / 读版本号成功."); }
inline QString chip_lock_read_ok() { return QStringLiteral("Read Chip Lock OK. / 读加密位、双倍速成功."); }
} // namespace LogText
