#include "core/error_texts.h"

#include <algorithm>
#include <iterator>

namespace kalmo {

namespace {

struct ErrorText
{
    int number;
    const char16_t *text;
};

// Numbers of the serial communications control.
constexpr ErrorText kCommErrors[] = {
    {380, u"无效属性值"},
    {383, u"属性为只读"},
    {394, u"属性为只读"},
    {8000, u"端口打开时操作不合法"},
    {8001, u"超时值必须大于 0"},
    {8002, u"无效的端口号,请选择存在的串口号"},
    {8003, u"属性只在运行时有效"},
    {8004, u"属性在运行时为只读"},
    {8005, u"该端口已经被其他程序打开,请关闭相应的程序或选择其他串口"},
    {8006, u"设备标识符无效或不支持该标识符"},
    {8007, u"不支持设备的波特率"},
    {8008, u"指定的字节大小无效"},
    {8009, u"缺省参数错误"},
    {8010, u"硬件不可用(被其它设备锁定)"},
    {8011, u"函数不能分配队列"},
    {8012, u"设备没有打开"},
    {8013, u"设备已经打开"},
    {8014, u"不能使用 comm 通知"},
    {8015, u"不能设置 comm 状态"},
    {8016, u"不能设置 comm 事件屏蔽"},
    {8018, u"仅当端口打开时操作才有效"},
    {8019, u"设备忙"},
    {8020, u"读 comm 设备错误"},
    {8021, u"为该端口检索设备控制块时的内部错误"},
};

// Windows Sockets numbers and the socket control's own numbers.
constexpr ErrorText kWinsockErrors[] = {
    {7, u"内存不足"},
    {380, u"属性值无效"},
    {383, u"属性是只读的"},
    {394, u"属性不可读"},
    {1004, u"取消操作"},
    {10014, u"所请求的地址是广播地址，但未设置标记"},
    {10035, u"套接字不成块，而指定操作将使之成块"},
    {10036, u"制造块的 Winsock 操作在进行之中"},
    {10037, u"完成操作 , 未进行制造块的操作"},
    {10038, u"描述符不是套接字"},
    {10040, u"数据报太大，不适于缓冲区的要求，因而被截断"},
    {10043, u"不支持指定的端口"},
    {10048, u"指定的端口被其他程序占用"},
    {10049, u"来自本地机器的不可用地址"},
    {10050, u"网络子系统失败"},
    {10051, u"此时不能从主机到达网络"},
    {10052, u"在设置 SO_KEEPALIVE 时连接超时"},
    {10054, u"通过远端重新设置连接"},
    {10055, u"没有可用的缓冲空间"},
    {10056, u"已连接套接字"},
    {10057, u"未连接套接字"},
    {10058, u"已关闭套接字"},
    {10060, u"已关闭套接字"},
    {10061, u"强行拒绝连接"},
    {10093, u"应首先调用 WinsockInit"},
    {11001, u"授权应答: 未找到主机"},
    {11002, u"非授权应答: 未找到主机"},
    {11003, u"不可恢复的错误"},
    {11004, u"无效名，对所请求的类型无数据记录"},
    {11053, u"由于超时或者其它失败而中止连接"},
    {40006, u"所请求的事务或请求本身的错误协议或者错误连接状态"},
    {40014, u"传递给函数的参数格式不确定，或者不在指定范围内"},
    {40017, u"成功"},
    {40018, u"不受支持的变量类型"},
    {40020, u"在当前状态下的无效操作"},
    {40021, u"参数越界"},
    {40026, u"所请求的事务或请求本身的错误协议"},
};

template <std::size_t N>
QString lookUp(const ErrorText (&table)[N], int number, const QString &fallback)
{
    const auto it = std::find_if(std::begin(table), std::end(table),
                                 [number](const ErrorText &e) { return e.number == number; });
    return it == std::end(table) ? fallback : QString::fromUtf16(it->text);
}

} // namespace

QString CommErrorText(int number, const QString &platformDescription)
{
    return lookUp(kCommErrors, number, platformDescription);
}

QString WinsockErrorText(int number, const QString &platformDescription)
{
    return lookUp(kWinsockErrors, number, platformDescription);
}

} // namespace kalmo
