#include "device/stop_run.h"

#include "device/work_state.h"
#include "isp/frames.h"
#include "isp/isp_link.h"
#include "device/link_results.h"
#include "base/message_log.h"

#include <QStringList>

StopRun::StopRun(IspLink& link, MessageLog& log, WorkState& work, LinkResults& results, QObject* parent)
    : QObject(parent), link_(link), log_(log), work_(work), results_(results)
{
    QObject::connect(&Timer9, &OneShotTimer::tick, this, &StopRun::show_advice);
}

void StopRun::run_user_program()
{
    link_.send_short_command(Frames::Run);
    link_.close_port();
}

void StopRun::stop_download()
{
    Timer9.stop();
    work_.set_program_button(WorkState::ProgramButton::Ready);
    work_.set_phase(WorkPhase::Idle);
    link_.request_stop();
    results_.connected = false;
    link_.send_short_command(Frames::Run);
    link_.clear_queues();
    link_.close_port();
}

QStringList StopRun::advice_lines(bool custom_mode)
{
    const QStringList chinese_tail = {
        QStringLiteral(" 3.因 PLCC、PQFP 转换座引线过长而引起时钟振荡不对，请调整参数。"),
        QStringLiteral(" 4.可能要升级电脑端的 ZVK ISP.exe 软件。"),
        QStringLiteral(" 5.若仍然不成功，可能 MCU/单片机内无 ISP 系统引导码，"),
        QStringLiteral("   或需退回升级，或 MCU 已损坏。"),
    };
    if (custom_mode) {
        return QStringList{QStringLiteral("连接失败，请尝试以下操作："),
                           QStringLiteral(" 1.重新选择 RS-232 串口, 接好电缆，打开电源。"),
                           QStringLiteral(" 2.检查波特率、奇偶位、数据位、停止位是否正确。")}
            + chinese_tail;
    }
    return QStringList{QStringLiteral("Connection is failure. You can try:"),
                       QStringLiteral(" 1.Give your MCU Power On Reset."),
                       QStringLiteral(" 2.Stop operation, then re-select COM Port."),
                       QStringLiteral(" 3.Because PLCC-DIP/PQFP-DIP Socket trace too long."),
                       QStringLiteral(" 4.Update the ZVK ISP.exe version."),
                       QStringLiteral(" 5.If still error, your MCU Firmware is error"),
                       QStringLiteral("   or null."),
                       QStringLiteral("Chinese:连接失败，请尝试以下操作："),
                       QStringLiteral(" 1.给 MCU/单片机上电复位(冷启动，先没有电，再上电)。"),
                       QStringLiteral(" 2.停止下载，重新选择 RS-232 串口, 接好电缆。")}
        + chinese_tail;
}

void StopRun::show_advice()
{
    link_.beep_times(2);
    Timer9.stop();
    for (const QString& line : advice_lines(link_.custom_frame_mode()))
        log_.append(line);
}
