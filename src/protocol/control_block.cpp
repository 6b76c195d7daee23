#include "protocol/control_block.h"

#include <QtEndian>

#include <limits>
#include <vector>

namespace kalmo {

namespace {

using W = NumberWidth;

std::vector<ControlNumber> makeNumbers()
{
    std::vector<ControlNumber> fields = {
        {24, W::Int32, QStringLiteral("txt_fbdCount"), QStringLiteral("功能块个数")},
        {30, W::Int16, QStringLiteral("txt_delayTime"), QStringLiteral("运行延迟时间 s")},
        {32, W::Int16, QStringLiteral("txt_WPC"), QStringLiteral("WPC第二个指令头顶参数使用偏移")},
        {34, W::Int16, QStringLiteral("txt_PS"), QStringLiteral("PS第二个指令头顶参数使用偏移")},
        {180, W::Int16, QStringLiteral("txt_resendKeepTime"),
         QStringLiteral("转发命令缓冲区保留时间 s")},
        {182, W::UnsignedByte, QStringLiteral("txt_resendFreshTime"),
         QStringLiteral("转发命令刷新时间 s")},
        {208, W::Int16, QStringLiteral("txt_netWrongTime"), QStringLiteral("以太网错误时间")},
        {210, W::Int16, QStringLiteral("txt_netOverTime"),
         QStringLiteral("网络通讯读指令超时时间")},
        {212, W::Int16, QStringLiteral("txt_netRMinTime"),
         QStringLiteral("网络通讯读指令最小时间间隔")},
        {214, W::Int16, QStringLiteral("txt_netWMinTime"),
         QStringLiteral("网络写指令最小通讯间隔时间")},
        {228, W::Int16, QStringLiteral("txt_outFre"), QStringLiteral("高速输出计频方式分隔频率值")},
        {230, W::Int16, QStringLiteral("txt_ryMaxError"),
         QStringLiteral("冗余系统最大允许出错次数")},
        {232, W::Int16, QStringLiteral("txt_clockSync"), QStringLiteral("时钟同步报文发送间隔")},
        {234, W::Int16, QStringLiteral("txt_ryDataSync"),
         QStringLiteral("冗余系统启动过程数据同步间隔")},
        {236, W::Int16, QStringLiteral("txt_ryDataSend"), QStringLiteral("冗余通讯数据发送间隔")},
        {238, W::Int16, QStringLiteral("txt_errorCheck"), QStringLiteral("故障检测报文发送间隔")},
        {240, W::Int16, QStringLiteral("txt_rySlave"), QStringLiteral("功能块通信间隔")},
    };
    for (int m = 0; m < 10; ++m) {
        fields.push_back({76 + 4 * m, W::Int16, QStringLiteral("txt_VKeepAddr_%1").arg(m),
                          QStringLiteral("%1段偏移地址").arg(m)});
        fields.push_back({78 + 4 * m, W::Int16, QStringLiteral("txt_VKeepLen_%1").arg(m),
                          QStringLiteral("%1段保持长度").arg(m)});
    }
    for (int i = 0; i < 16; ++i)
        fields.push_back({116 + 4 * i, W::Int32, QStringLiteral("txt_SlaveADQ_%1").arg(i),
                          QStringLiteral("%1从设备AQDQ扫描时间").arg(i)});
    for (int k = 0; k < 2; ++k)
        fields.push_back({184 + 2 * k, W::Int16, QStringLiteral("txt_freeze_%1").arg(k),
                          QStringLiteral("Q%1冻结值").arg(k)});
    return fields;
}

std::vector<ControlList> makeLists()
{
    const QStringList onOff = {QStringLiteral("不使能"), QStringLiteral("使能")};
    return {
        {0,
         0xFF,
         QStringLiteral("cb_Run"),
         QStringLiteral("功能块运行标志"),
         {QStringLiteral("停止"), QStringLiteral("运行")},
         0},
        {1,
         0xFF,
         QStringLiteral("cb_sm"),
         QStringLiteral("SM区有数据保存"),
         {QStringLiteral("无数据保存"), QStringLiteral("有数据保存")},
         0},
        {28,
         0xFF,
         QStringLiteral("cb_runType"),
         QStringLiteral("指令强制运行状态"),
         {QStringLiteral("正常运行"), QStringLiteral("强制运行")},
         0},
        {29, 0xFF, QStringLiteral("cb_DQAQ"), QStringLiteral("DQ、AQ屏蔽使能"), onOff, 1},
        {183, 0xFF, QStringLiteral("cb_resendEnabled"), QStringLiteral("转发缓冲使能"), onOff, 1},
        {204,
         0xFF,
         QStringLiteral("cb_AQOut"),
         QStringLiteral("AQ输出兼容标志"),
         {QStringLiteral("1:1000"), QStringLiteral("1:800")},
         1},
        {205,
         0xFF,
         QStringLiteral("cb_writeFBD"),
         QStringLiteral("以太网写指令"),
         {QStringLiteral("直接写入"), QStringLiteral("写入前读取"),
          QStringLiteral("写入前判断相同")},
         0},
        {206,
         0x03,
         QStringLiteral("cb_bandWidth"),
         QStringLiteral("以太网带宽"),
         {QStringLiteral("10M"), QStringLiteral("100M"), QStringLiteral("自适应")},
         0},
        {206,
         0x04,
         QStringLiteral("cb_workType"),
         QStringLiteral("以太网工作模式"),
         {QStringLiteral("半双工"), QStringLiteral("全双工")},
         0},
    };
}

std::vector<ControlBit> makeBits()
{
    std::vector<ControlBit> bits;
    const QString kinds[4] = {QStringLiteral("ck_ai"), QStringLiteral("ck_aq"),
                              QStringLiteral("ck_di"), QStringLiteral("ck_dq")};
    for (int slave = 0; slave < 16; ++slave)
        for (int kind = 0; kind < 4; ++kind)
            bits.push_back({216 + slave / 2, (slave % 2) * 4 + kind,
                            QStringLiteral("%1_%2").arg(kinds[kind]).arg(slave)});
    for (int j = 0; j < 5; ++j)
        bits.push_back({224, j, QStringLiteral("ck_zigbee_%1").arg(j)});
    return bits;
}

int lowestBit(quint8 mask)
{
    int shift = 0;
    while (!(mask & (1u << shift)))
        ++shift;
    return shift;
}

} // namespace

std::span<const ControlNumber> controlNumbers()
{
    static const std::vector<ControlNumber> fields = makeNumbers();
    return fields;
}

std::span<const ControlList> controlLists()
{
    static const std::vector<ControlList> lists = makeLists();
    return lists;
}

std::span<const ControlBit> controlBits()
{
    static const std::vector<ControlBit> bits = makeBits();
    return bits;
}

std::span<const ControlHex> controlHexFields()
{
    static const ControlHex fields[] = {
        {4, 10, QStringLiteral("txt_fbdCheck"), QStringLiteral("工程块校验码")},
        {16, 8, QStringLiteral("txt_QAQ"), QStringLiteral("Q、AQ屏蔽字")},
    };
    return fields;
}

qint64 numberAt(QByteArrayView block, const ControlNumber &field)
{
    const auto *p = reinterpret_cast<const uchar *>(block.data()) + field.offset;
    switch (field.width) {
    case W::UnsignedByte:
        return *p;
    case W::Int16:
        return qFromLittleEndian<qint16>(p);
    case W::Int32:
        return qFromLittleEndian<qint32>(p);
    }
    return 0;
}

bool numberFits(const ControlNumber &field, qint64 value)
{
    switch (field.width) {
    case W::UnsignedByte:
        return value >= 0 && value <= 0xFF;
    case W::Int16:
        return value >= std::numeric_limits<qint16>::min() &&
               value <= std::numeric_limits<qint16>::max();
    case W::Int32:
        return value >= std::numeric_limits<qint32>::min() &&
               value <= std::numeric_limits<qint32>::max();
    }
    return false;
}

void setNumberAt(QByteArray &block, const ControlNumber &field, qint64 value)
{
    char *p = block.data() + field.offset;
    switch (field.width) {
    case W::UnsignedByte:
        *p = char(value);
        break;
    case W::Int16:
        qToLittleEndian<qint16>(qint16(value), p);
        break;
    case W::Int32:
        qToLittleEndian<qint32>(qint32(value), p);
        break;
    }
}

int listIndexAt(QByteArrayView block, const ControlList &list)
{
    return (quint8(block[list.offset]) & list.mask) >> lowestBit(list.mask);
}

void setListIndexAt(QByteArray &block, const ControlList &list, int index)
{
    const quint8 kept = quint8(block[list.offset]) & ~list.mask;
    block[list.offset] = char(kept | ((index << lowestBit(list.mask)) & list.mask));
}

std::optional<QString> controlBlockFault(QByteArrayView block)
{
    if (block.size() < kControlLength) return QStringLiteral("控制信息");
    for (const ControlList &list : controlLists())
        if (listIndexAt(block, list) >= list.items.size()) return list.label;
    return std::nullopt;
}

} // namespace kalmo
