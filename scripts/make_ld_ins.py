#!/usr/bin/env python3
"""Writes the instruction table src/datamodel/resources/cmddescription/ld_ins.csv.

One header row, then one row per instruction with 50 columns: class, name, kind, short
description, detailed description, and nine groups of five columns for parameters 1 to 9
(name, data type, direction, register area, description). Fields are joined with "," and never
quoted: a description that holds an ASCII comma shifts the rest of its row, and the readers
keep such rows as they are split. Run it from anywhere; it overwrites the table (UTF-8).
"""
import os

GROUPS = 9
BIT = "X/Y/M/S/B/D.b"
WORD = "D/R/W/K/H"
FLOAT = "D/R/W/E"
ANY_NUM = "SINT/INT/DINT/USINT/UINT/UDINT/REAL/LREAL"
ANY_INT = "SINT/INT/DINT/USINT/UINT/UDINT"
ANY_BIT = "BOOL/BYTE/WORD/DWORD"
ANY_REAL = "REAL/LREAL"

AREA = {"BOOL": BIT, "BYTE": WORD, "WORD": WORD, "DWORD": WORD, "SINT": WORD, "INT": WORD,
        "DINT": WORD, "USINT": WORD, "UINT": WORD, "UDINT": WORD, "REAL": FLOAT, "LREAL": FLOAT,
        "TIME": "D/R/W", "DATE": "D/R/W", "TOD": "D/R/W", "DT": "D/R/W", "STRING": "D/R"}


def area(types):
    first = types.split("/")[0]
    return AREA.get(first, "D/R/W" if first not in ("POINTER", "ANY") else "")


def p(name, types, direction, desc):
    return (name, types, direction, area(types), desc)


def i(name, types, desc):
    return p(name, types, "INPUT", desc)


def o(name, types, desc):
    return p(name, types, "OUTPUT", desc)


rows = []


def add(cls, name, kind, short, detail, params=()):
    assert len(params) <= GROUPS, name
    rows.append((cls, name, kind, short, detail, list(params)))


# Arithmetic
for name, short, detail in [
    ("ADD", "加法", "将IN1与IN2相加,结果写入OUT；结果超出类型范围时按补码回绕"),
    ("SUB", "减法", "OUT等于IN1减去IN2"),
    ("MUL", "乘法", "OUT等于IN1乘以IN2；整数乘法溢出时结果回绕"),
    ("DIV", "除法", "OUT等于IN1除以IN2；整数除法向零取整，除数为0时结果为0"),
    ("MOD", "取余", "OUT等于IN1除以IN2的余数，符号与被除数相同"),
]:
    types = ANY_INT if name == "MOD" else ANY_NUM
    add("算术运算", name, "FC", short, detail,
        [i("IN1", types, "第一个操作数"), i("IN2", types, "第二个操作数"), o("OUT", types, "运算结果")])

# Bistable
add("双稳态", "RS", "FB", "复位优先双稳态", "RESET1为TRUE时Q1复位；仅SET为TRUE时Q1置位",
    [i("SET", "BOOL", "置位输入"), i("RESET1", "BOOL", "复位输入（优先）"), o("Q1", "BOOL", "输出")])
add("双稳态", "SR", "FB", "置位优先双稳态", "SET1为TRUE时Q1置位；仅RESET为TRUE时Q1复位",
    [i("SET1", "BOOL", "置位输入（优先）"), i("RESET", "BOOL", "复位输入"), o("Q1", "BOOL", "输出")])

# Shift
for name, short, detail in [
    ("ROL", "循环左移", "IN按位循环左移N位，移出的高位补入低位"),
    ("ROR", "循环右移", "IN按位循环右移N位，移出的低位补入高位"),
    ("SHL", "左移", "IN左移N位，低位补0"),
    ("SHR", "右移", "IN右移N位，高位补0"),
]:
    add("移位", name, "FC", short, detail,
        [i("IN", "BYTE/WORD/DWORD", "被移位的值"), i("N", "INT/UINT", "移位位数"), o("OUT", "BYTE/WORD/DWORD", "移位结果")])

# Logic
for name, short in [("AND", "按位与"), ("OR_FC", "按位或"), ("XOR", "按位异或")]:
    add("逻辑运算", name, "FC", short, "对IN1和IN2逐位运算，结果写入OUT",
        [i("IN1", ANY_BIT, "第一个操作数"), i("IN2", ANY_BIT, "第二个操作数"), o("OUT", ANY_BIT, "运算结果")])
add("逻辑运算", "NOT", "FC", "按位取反", "OUT为IN逐位取反的结果",
    [i("IN", ANY_BIT, "操作数"), o("OUT", ANY_BIT, "取反结果")])

# String
S = "STRING"
add("字符串", "CONCAT", "FC", "字符串连接", "将STR2接在STR1之后",
    [i("STR1", S, "前半部分"), i("STR2", S, "后半部分"), o("OUT", S, "连接结果")])
add("字符串", "DELETE", "FC", "删除字符", "从STR的第P个字符起删除L个字符",
    [i("STR", S, "源字符串"), i("L", "INT", "删除的字符数"), i("P", "INT", "起始位置（从1计）"), o("OUT", S, "结果")])
add("字符串", "FIND", "FC", "查找子串", "返回STR2在STR1中第一次出现的位置，未找到时为0",
    [i("STR1", S, "被查找的字符串"), i("STR2", S, "要查找的子串"), o("OUT", "INT", "位置")])
add("字符串", "INSERT", "FC", "插入字符串", "在STR1的第P个字符之后插入STR2",
    [i("STR1", S, "源字符串"), i("STR2", S, "插入的字符串"), i("P", "INT", "插入位置"), o("OUT", S, "结果")])
add("字符串", "LEFT", "FC", "取左子串", "返回STR最左边的SIZE个字符",
    [i("STR", S, "源字符串"), i("SIZE", "INT", "字符数"), o("OUT", S, "结果")])
add("字符串", "LEN", "FC", "字符串长度", "返回STR的字符数",
    [i("STR", S, "源字符串"), o("OUT", "INT", "长度")])
add("字符串", "MID", "FC", "取中间子串", "返回STR从第POS个字符起的LEN个字符",
    [i("STR", S, "源字符串"), i("LEN", "INT", "字符数"), i("POS", "INT", "起始位置"), o("OUT", S, "结果")])
add("字符串", "REPLACE", "FC", "替换字符", "将STR1从第P个字符起的L个字符替换为STR2",
    [i("STR1", S, "源字符串"), i("STR2", S, "替换内容"), i("L", "INT", "被替换的字符数"), i("P", "INT", "起始位置"),
     o("OUT", S, "结果")])
add("字符串", "RIGHT", "FC", "取右子串", "返回STR最右边的SIZE个字符",
    [i("STR", S, "源字符串"), i("SIZE", "INT", "字符数"), o("OUT", S, "结果")])

# Compare
for name, short, relation in [("EQ", "等于", "等于"), ("GE", "大于等于", "大于或等于"), ("GT", "大于", "大于"),
                              ("LE", "小于等于", "小于或等于"), ("LT", "小于", "小于"), ("NE", "不等于", "不等于")]:
    add("比较", name, "FC", short, "IN1%sIN2时OUT为TRUE" % relation,
        [i("IN1", ANY_NUM + "/STRING/TIME", "第一个比较值"), i("IN2", ANY_NUM + "/STRING/TIME", "第二个比较值"),
         o("OUT", "BOOL", "比较结果")])

# Counter
add("计数器", "CTD", "FB", "减计数器", "CD每个上升沿CV减1；LOAD为TRUE时CV装入PV；CV小于等于0时Q为TRUE",
    [i("CD", "BOOL", "计数输入"), i("LOAD", "BOOL", "装载"), i("PV", "INT", "预置值"), o("Q", "BOOL", "计数到达"),
     o("CV", "INT", "当前值")])
add("计数器", "CTU", "FB", "加计数器", "CU每个上升沿CV加1；RESET为TRUE时CV清零；CV大于等于PV时Q为TRUE",
    [i("CU", "BOOL", "计数输入"), i("RESET", "BOOL", "复位"), i("PV", "INT", "设定值"), o("Q", "BOOL", "计数到达"),
     o("CV", "INT", "当前值")])
add("计数器", "CTUD", "FB", "加减计数器", "CU上升沿加1、CD上升沿减1；QU在CV≥PV时为TRUE，QD在CV≤0时为TRUE",
    [i("CU", "BOOL", "加计数输入"), i("CD", "BOOL", "减计数输入"), i("RESET", "BOOL", "复位"), i("LOAD", "BOOL", "装载"),
     i("PV", "INT", "设定值"), o("QU", "BOOL", "加计数到达"), o("QD", "BOOL", "减计数到达"), o("CV", "INT", "当前值")])

# Type conversions: every ordered pair of the 17 types, except those among the date and
# time types and STRING_TO_SINT, then BCD_TO_INT, INT_TO_BCD and TRUNC.
TYPES = ["BOOL", "BYTE", "DATE", "DINT", "DT", "DWORD", "INT", "LREAL", "REAL", "SINT", "STRING", "TIME", "TOD",
         "UDINT", "UINT", "USINT", "WORD"]
CALENDAR = {"DATE", "DT", "TIME", "TOD"}
REALS = {"REAL", "LREAL"}
for source in TYPES:
    for target in TYPES:
        if source == target or (source in CALENDAR and target in CALENDAR):
            continue
        if (source, target) == ("STRING", "SINT"):
            continue
        detail = "将%s类型的输入转换为%s类型" % (source, target)
        if source in REALS and target not in REALS and target not in ("STRING", "BOOL"):
            detail += "，小数部分四舍五入"
        elif target == "BOOL":
            detail += "，非零值为TRUE"
        elif source == "STRING":
            detail += "，无法解析的文本结果为0"
        add("类型转换", "%s_TO_%s" % (source, target), "FC", "%s转%s" % (source, target), detail,
            [i("IN", source, "待转换的值"), o("OUT", target, "转换结果")])
add("类型转换", "BCD_TO_INT", "FC", "BCD码转整数", "将BCD编码的WORD转换为INT；非法BCD码结果为0",
    [i("IN", "WORD", "BCD码"), o("OUT", "INT", "整数值")])
add("类型转换", "INT_TO_BCD", "FC", "整数转BCD码", "将0至9999的INT转换为BCD编码的WORD",
    [i("IN", "INT", "整数值"), o("OUT", "WORD", "BCD码")])
add("类型转换", "TRUNC", "FC", "截断取整", "舍去实数的小数部分,向零取整",
    [i("IN", ANY_REAL, "实数"), o("OUT", "DINT", "整数部分")])

# Edge detection
add("边沿检测", "F_TRIG", "FB", "下降沿检测", "CLK由TRUE变为FALSE后的一个周期内Q为TRUE",
    [i("CLK", "BOOL", "被检测的信号"), o("Q", "BOOL", "边沿脉冲")])
add("边沿检测", "R_TRIG", "FB", "上升沿检测", "CLK由FALSE变为TRUE后的一个周期内Q为TRUE",
    [i("CLK", "BOOL", "被检测的信号"), o("Q", "BOOL", "边沿脉冲")])

# Mathematical
add("数学运算", "ABS", "FC", "绝对值", "OUT为IN的绝对值", [i("IN", ANY_NUM, "输入值"), o("OUT", ANY_NUM, "绝对值")])
for name, short, detail in [
    ("ACOS", "反余弦", "返回IN的反余弦（弧度）；IN须在-1至1之间"),
    ("ASIN", "反正弦", "返回IN的反正弦（弧度）；IN须在-1至1之间"),
    ("ATAN", "反正切", "返回IN的反正切（弧度）"),
    ("COS", "余弦", "返回IN（弧度）的余弦"),
    ("EXP", "自然指数", "返回e的IN次方"),
    ("LN", "自然对数", "返回IN的自然对数；IN须大于0"),
    ("LOG", "常用对数", "返回IN以10为底的对数；IN须大于0"),
    ("SIN", "正弦", "返回IN（弧度）的正弦"),
    ("SQRT", "平方根", "返回IN的平方根；IN须不小于0"),
    ("TAN", "正切", "返回IN（弧度）的正切"),
]:
    add("数学运算", name, "FC", short, detail, [i("IN", ANY_REAL, "输入值"), o("OUT", ANY_REAL, "结果")])
add("数学运算", "EXPT", "FC", "乘方", "返回IN1的IN2次方",
    [i("IN1", ANY_REAL, "底数"), i("IN2", ANY_NUM, "指数"), o("OUT", ANY_REAL, "结果")])

# Selection
add("选择", "LIMIT", "FC", "限幅", "IN小于MN时输出MN,大于MX时输出MX,否则输出IN",
    [i("MN", ANY_NUM, "下限"), i("IN", ANY_NUM, "输入值"), i("MX", ANY_NUM, "上限"), o("OUT", ANY_NUM, "限幅结果")])
add("选择", "MAX", "FC", "取最大值", "返回IN1与IN2中较大的一个",
    [i("IN1", ANY_NUM, "第一个值"), i("IN2", ANY_NUM, "第二个值"), o("OUT", ANY_NUM, "最大值")])
add("选择", "MIN", "FC", "取最小值", "返回IN1与IN2中较小的一个",
    [i("IN1", ANY_NUM, "第一个值"), i("IN2", ANY_NUM, "第二个值"), o("OUT", ANY_NUM, "最小值")])
add("选择", "MOVE", "FC", "传送", "将IN的值传送到OUT", [i("IN", "ANY", "源"), o("OUT", "ANY", "目标")])
add("选择", "MUX", "FC", "多路选择", "按K选择IN0至IN6之一,K超出范围时输出IN0",
    [i("K", "INT/UINT", "选择序号")] + [i("IN%d" % n, "ANY", "第%d路输入" % n) for n in range(7)]
    + [o("OUT", "ANY", "选中的值")])
add("选择", "SEL", "FC", "二选一", "G为FALSE时输出IN0，为TRUE时输出IN1",
    [i("G", "BOOL", "选择条件"), i("IN0", "ANY", "G为FALSE时的值"), i("IN1", "ANY", "G为TRUE时的值"), o("OUT", "ANY", "结果")])

# Timer
add("定时器", "TP", "FB", "脉冲定时器", "IN上升沿起输出宽度为PT的脉冲",
    [i("IN", "BOOL", "启动"), i("PT", "TIME", "脉冲宽度"), o("Q", "BOOL", "脉冲输出"), o("ET", "TIME", "已计时间")])
add("定时器", "TON", "FB", "通电延时定时器", "IN保持TRUE达PT后Q为TRUE；IN为FALSE时复位",
    [i("IN", "BOOL", "启动"), i("PT", "TIME", "延时时间"), o("Q", "BOOL", "延时到达"), o("ET", "TIME", "已计时间")])
add("定时器", "TOF", "FB", "断电延时定时器", "IN变为FALSE后再过PT，Q才变为FALSE",
    [i("IN", "BOOL", "启动"), i("PT", "TIME", "延时时间"), o("Q", "BOOL", "输出"), o("ET", "TIME", "已计时间")])
add("定时器", "TONR", "FB", "保持型通电延时定时器", "IN为TRUE时累计计时,IN断开时保持已计时间,RESET清零",
    [i("IN", "BOOL", "启动"), i("PT", "TIME", "设定时间"), i("RESET", "BOOL", "复位"), o("Q", "BOOL", "计时到达"),
     o("ET", "TIME", "累计时间")])

# Pointer
add("指针", "ADR", "FC", "取地址", "返回变量IN的地址", [i("IN", "ANY", "变量"), o("OUT", "POINTER", "地址")])
add("指针", "VAL", "FC", "取值", "返回指针IN所指向的值", [i("IN", "POINTER", "地址"), o("OUT", "ANY", "所指的值")])

# Data
add("数据处理", "EXTRACT", "FC", "取位", "返回X的第N位,N从0计",
    [i("X", "DWORD", "源数据"), i("N", "USINT", "位号"), o("OUT", "BOOL", "该位的值")])
add("数据处理", "PACK", "FC", "位组合为字节", "将B0至B7八个位组合成一个字节，B0为最低位",
    [i("B%d" % n, "BOOL", "第%d位" % n) for n in range(8)] + [o("OUT", "BYTE", "组合结果")])
add("数据处理", "PUTBIT", "FC", "置位指定位", "将X的第N位设为B，返回新值",
    [i("X", "DWORD", "源数据"), i("N", "USINT", "位号"), i("B", "BOOL", "位值"), o("OUT", "DWORD", "结果")])
add("数据处理", "SIZEOF", "FC", "求占用字节数", "返回变量IN所占的字节数",
    [i("IN", "ANY", "变量"), o("OUT", "UDINT", "字节数")])
add("数据处理", "UNPACK", "FC", "字节拆分为位", "将字节B拆分为B0至B7八个位",
    [i("B", "BYTE", "源字节")] + [o("B%d" % n, "BOOL", "第%d位" % n) for n in range(8)])

# Memory
add("内存操作", "MEMCPY", "FC", "内存复制", "从SRC复制N个字节到DEST,两块内存不得重叠",
    [i("DEST", "POINTER", "目标地址"), i("SRC", "POINTER", "源地址"), i("N", "UDINT", "字节数"), o("OUT", "BOOL", "成功")])
add("内存操作", "MEMSET", "FC", "内存填充", "将DEST起的N个字节全部设为VAL",
    [i("DEST", "POINTER", "目标地址"), i("VAL", "BYTE", "填充值"), i("N", "UDINT", "字节数"), o("OUT", "BOOL", "成功")])

# System time
add("系统时间", "GETDATEANDTIME", "FB", "读取系统时间", "EN上升沿读取控制器实时时钟",
    [i("EN", "BOOL", "启动"), o("DONE", "BOOL", "完成"), o("ERR", "BOOL", "出错"), o("CDT", "DT", "当前日期时间")])
add("系统时间", "GETTICKCOUNT", "FC", "读取系统毫秒计数", "返回控制器上电以来的毫秒数，约49.7天回绕一次",
    [o("OUT", "UDINT", "毫秒数")])
add("系统时间", "RTC", "FB", "实时时钟", "EN上升沿以PDT设定时钟，此后CDT随时间走动",
    [i("EN", "BOOL", "使能"), i("PDT", "DT", "预置日期时间"), o("Q", "BOOL", "时钟有效"), o("CDT", "DT", "当前日期时间")])
add("系统时间", "SETDATEANDTIME", "FB", "设置系统时间", "EN上升沿将DTIN写入实时时钟,写入失败时ERR为TRUE",
    [i("EN", "BOOL", "启动"), i("DTIN", "DT", "新的日期时间"), o("DONE", "BOOL", "完成"), o("ERR", "BOOL", "出错")])

# Contacts
CONTACT_AREA = "X/Y/M/S/B/T/C/D.b"
for name, short, detail in [
    ("LD", "常开触点", "母线开始的常开触点"),
    ("LDF", "下降沿触点", "母线开始的下降沿检测触点"),
    ("LDFI", "下降沿取反触点", "母线开始的下降沿检测取反触点"),
    ("LDI", "常闭触点", "母线开始的常闭触点"),
    ("LDP", "上升沿触点", "母线开始的上升沿检测触点"),
    ("LDPI", "上升沿取反触点", "母线开始的上升沿检测取反触点"),
    ("OR", "并联常开触点", "与前面的回路并联的常开触点"),
    ("ORF", "并联下降沿触点", "与前面的回路并联的下降沿检测触点"),
    ("ORI", "并联常闭触点", "与前面的回路并联的常闭触点"),
    ("ORP", "并联上升沿触点", "与前面的回路并联的上升沿检测触点"),
]:
    add("触点", name, "CONTACT", short, detail, [("S", "BOOL", "INPUT", CONTACT_AREA, "触点软元件")])

# Output
COIL_AREA = "Y/M/S/B/D.b"
add("输出", "OUT", "COIL", "线圈输出", "将能流状态写入D", [("D", "BOOL", "OUTPUT", COIL_AREA, "线圈软元件")])
add("输出", "RST", "COIL", "复位线圈", "能流为TRUE时将D复位并保持", [("D", "BOOL", "OUTPUT", COIL_AREA, "复位的软元件")])
add("输出", "SET", "COIL", "置位线圈", "能流为TRUE时将D置位并保持", [("D", "BOOL", "OUTPUT", COIL_AREA, "置位的软元件")])

# Flow
add("程序流程", "JMP", "PROCESSCONTROL", "跳转", "能流为TRUE时跳转到标号P,跳过其间的程序",
    [("P", "LABEL", "INPUT", "", "跳转标号")])
add("程序流程", "RET", "PROCESSCONTROL", "返回", "能流为TRUE时结束当前POU的本次执行")

# Power flow
add("能流", "INV", "CONTACT", "能流取反", "将左侧的能流状态取反后传给右侧")
add("能流", "MEF", "CONTACT", "能流下降沿", "左侧能流由TRUE变为FALSE时输出一个周期的能流")
add("能流", "MEP", "CONTACT", "能流上升沿", "左侧能流由FALSE变为TRUE时输出一个周期的能流")

header = ["指令类别", "指令名称", "指令类型", "简要说明", "详细说明"]
for n in range(1, GROUPS + 1):
    header += ["参数%d名称" % n, "参数%d类型" % n, "参数%d方向" % n, "参数%d寄存器区" % n, "参数%d说明" % n]
assert len(header) == 50

names = [r[1] for r in rows]
assert len(names) == len(set(names)) == 350, len(names)
assert len({r[0] for r in rows}) == 20

lines = [",".join(header)]
for cls, name, kind, short, detail, params in rows:
    fields = [cls, name, kind, short, detail]
    for n in range(GROUPS):
        fields += list(params[n]) if n < len(params) else [""] * 5
    for field in fields[:3] + fields[5:]:
        assert "," not in field, (name, field)
    lines.append(",".join(fields))

out = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "datamodel", "resources",
                   "cmddescription", "ld_ins.csv")
with open(out, "w", encoding="utf-8", newline="\n") as f:
    f.write("\n".join(lines) + "\n")
print("%d instructions in %d classes -> %s" % (len(rows), len({r[0] for r in rows}), os.path.normpath(out)))
